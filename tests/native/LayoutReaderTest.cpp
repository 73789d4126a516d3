#include "MachineTest.h"
#include "toolkit/LayoutReader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

using LayoutReader = MachineTest;

// The message of the ELayoutError that reading `text` raises.
std::string ErrorOf(const std::string& text) {
    try {
        toolkit::ReadLayout(text, "test.txt");
    } catch (const toolkit::ELayoutError& error) {
        return error.what();
    }
    return "no error";
}

const char* const kDialog = R"(# a dialog
object dlgTest: form
  Caption = "{APPNAME} Options"
  ClientSize = 507 282
  object lblNote: label
    Bounds = 40 -160 0 0
    Font.Style = [bold, italic]
    Font.Color = #800000
    Color = clBtnFace
    Visible = false
    Caption = "first \"line\"\n" +
              "second\\line"
  end

  object btnOk: button
    Caption = "OK"
    Default = true
    Font.Style = []
  end
end
)";

TEST_F(LayoutReader, ObjectsPropertiesAndValues) {
    toolkit::LayoutNode root = toolkit::ReadLayout(kDialog, "test.txt");
    EXPECT_EQ(root.name, "dlgTest");
    EXPECT_EQ(root.kind, "form");
    EXPECT_EQ(root.where, "test.txt, line 2");
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.Find("caption")->Text(), WSTR("{APPNAME} Options"));
    EXPECT_EQ(root.Find("ClientSize")->Ints(2), (std::vector<int>{507, 282}));

    const toolkit::LayoutNode& note = root.children[0];
    EXPECT_EQ(note.name, "lblNote");
    EXPECT_EQ(note.Find("Bounds")->Ints(4), (std::vector<int>{40, -160, 0, 0}));
    EXPECT_EQ(note.Find("Font.Style")->Set(), (std::vector<std::string>{"bold", "italic"}));
    EXPECT_EQ(note.Find("Font.Color")->value.color, 0x000080u);  // COLORREF: red in the low byte
    EXPECT_EQ(note.Find("Color")->Identifier(), "clBtnFace");
    EXPECT_FALSE(note.Find("Visible")->Bool());
    EXPECT_EQ(note.Find("Caption")->Text(), WSTR("first \"line\"\nsecond\\line"));
    EXPECT_EQ(note.Find("Caption")->where, "test.txt, line 11");

    const toolkit::LayoutNode& ok = root.children[1];
    EXPECT_TRUE(ok.Find("Default")->Bool());
    EXPECT_TRUE(ok.Find("Font.Style")->Set().empty());
    EXPECT_EQ(ok.Find("Missing"), nullptr);
}

TEST_F(LayoutReader, TextIsUtf8AndWindowsLineEndsAreAccepted) {
    toolkit::LayoutNode root =
        toolkit::ReadLayout("\xEF\xBB\xBFobject f: form\r\n  Caption = \"J\xC3\xB6rg\"\r\nend\r\n", "bom.txt");
    EXPECT_EQ(root.Find("Caption")->Text(), WSTR("J\u00F6rg"));
}

TEST_F(LayoutReader, LaterPropertyOfTheSameNameWins) {
    toolkit::LayoutNode root = toolkit::ReadLayout("object f: form\n  Tag = 1\n  tag = 2\nend\n", "t");
    EXPECT_EQ(root.Find("TAG")->Int(), 2);
}

TEST_F(LayoutReader, SyntaxErrorsNameTheLayoutAndTheLine) {
    EXPECT_EQ(ErrorOf(""), "Layout test.txt, line 1: the layout is empty");
    EXPECT_EQ(ErrorOf("# nothing\n\n"), "Layout test.txt, line 1: the layout is empty");
    EXPECT_EQ(ErrorOf("form f\nend\n"), "Layout test.txt, line 1: expected \"object\"");
    EXPECT_EQ(ErrorOf("object f form\nend\n"), "Layout test.txt, line 1: expected ':' at \"form\"");
    EXPECT_EQ(ErrorOf("object f: form\n  Caption \"x\"\nend\n"),
              "Layout test.txt, line 2: expected '=' at \"\"x\"\"");
    EXPECT_EQ(ErrorOf("object f: form\n  Caption = \"x\nend\n"), "Layout test.txt, line 2: unterminated text");
    EXPECT_EQ(ErrorOf("object f: form\n  Caption = \"a\\qb\"\nend\n"), "Layout test.txt, line 2: unknown escape \\q");
    EXPECT_EQ(ErrorOf("object f: form\n  Color = #12345\nend\n"),
              "Layout test.txt, line 2: a colour is written #RRGGBB");
    EXPECT_EQ(ErrorOf("object f: form\n  Color = #1234567\nend\n"),
              "Layout test.txt, line 2: a colour is written #RRGGBB");
    EXPECT_EQ(ErrorOf("object f: form\n  Tag = 99999999999\nend\n"), "Layout test.txt, line 2: number out of range");
    EXPECT_EQ(ErrorOf("object f: form\n  Tag = 12px\nend\n"), "Layout test.txt, line 2: malformed number");
    EXPECT_EQ(ErrorOf("object f: form\n  Tag = \nend\n"), "Layout test.txt, line 2: expected a value after \"=\"");
    EXPECT_EQ(ErrorOf("object f: form\n  Font.Style = [bold\nend\n"),
              "Layout test.txt, line 2: expected ']' at the end of the line");
    EXPECT_EQ(ErrorOf("object f: form\n  Caption = \"a\" +"),
              "Layout test.txt, line 2: text continues after the last line");
    EXPECT_EQ(ErrorOf("object f: form\n  Caption = \"a\" +\nend\n"),
              "Layout test.txt, line 3: expected '\"' at \"end\"");
    EXPECT_EQ(ErrorOf("object f: form\n  Caption = \"a\" \"b\"\nend\n"),
              "Layout test.txt, line 2: unexpected text at \"\"b\"\"");
}

TEST_F(LayoutReader, StructureErrorsNameTheObject) {
    EXPECT_EQ(ErrorOf("object f: form\n  object b: button\n    Tag = 1\nend\n"),
              "Layout test.txt, line 1: object f has no \"end\"");
    EXPECT_EQ(ErrorOf("object f: form\nend\nobject g: form\nend\n"),
              "Layout test.txt, line 3: text after the final \"end\"");
}

TEST_F(LayoutReader, TypedReadsOfTheWrongShapeNameThePropertyAndLine) {
    toolkit::LayoutNode root = toolkit::ReadLayout("object f: form\n\n  Caption = 12\n  Bounds = 1 2 3\nend\n", "typed.txt");
    try {
        root.Find("Caption")->Text();
        FAIL() << "no error";
    } catch (const toolkit::ELayoutError& error) {
        EXPECT_STREQ(error.what(), "Layout typed.txt, line 3: Caption: expected a \"text\"");
    }
    EXPECT_THROW(root.Find("Bounds")->Ints(4), toolkit::ELayoutError);
    EXPECT_THROW(root.Find("Bounds")->Int(), toolkit::ELayoutError);
    EXPECT_THROW(root.Find("Caption")->Bool(), toolkit::ELayoutError);
    EXPECT_THROW(root.Find("Caption")->Set(), toolkit::ELayoutError);
}

// The main window's stored layout reads without error and holds the
// controls the window looks up, where the window expects them.
TEST_F(LayoutReader, StoredMainWindowLayout) {
    std::string path = std::string(__FILE__);
    path = path.substr(0, path.rfind("tests/native/")) + "resources/layouts/main.txt";
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << path;
    std::stringstream text;
    text << file.rdbuf();
    toolkit::LayoutNode root = toolkit::ReadLayout(text.str(), "main.txt");
    EXPECT_EQ(root.name, "dlgGatewiseMain");
    EXPECT_EQ(root.Find("Caption")->Text(), WSTR("{APPNAME}"));
    EXPECT_EQ(root.Find("ClientSize")->Ints(2)[0], 540);

    const toolkit::LayoutNode* console = nullptr;
    for (const toolkit::LayoutNode& child : root.children)
        if (child.name == "pnlConsole") console = &child;
    ASSERT_NE(console, nullptr);
    EXPECT_EQ(console->Find("Bounds")->Ints(4), (std::vector<int>{0, 0, 540, 361}));
    std::vector<std::string> names;
    for (const toolkit::LayoutNode& child : console->children) names.push_back(child.name);
    EXPECT_EQ(names, (std::vector<std::string>{"lblTitle", "shpTitle", "lblModeLine", "imgSecure", "lblSecureTitle", "lblSecure",
                                               "imgRelaxed", "lblRelaxedTitle", "lblRelaxed", "Shape1", "lblAdvert",
                                               "imgAdvertisement", "lblAdvertisementTitle", "lblAdvertisement"}));
}

}  // namespace
