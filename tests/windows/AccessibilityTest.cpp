#include "AccessibleTree.h"
#include "FormTest.h"
#include "toolkit/ExtCtrls.h"
#include "widgets/KXLabel.h"

#include <objbase.h>

#include <string>

namespace {

using namespace toolkit;

constexpr const char* kLayout = R"(
object dlgTest: form
  Caption = "Test"
  ClientSize = 300 200
  object lblName: label
    Bounds = 8 8 60 15
    Caption = "&User name:"
    FocusControl = edtName
  end
  object edtName: edit
    Bounds = 80 8 120 23
  end
  object lblText: markuplabel
    Bounds = 8 40 150 60
    Caption = "Read <a href=\"one\">the first link</a> or <b>the</b>  <a href=\"two\">second one, which wraps over lines</a>."
    OnLinkClick = TextLinkClick
  end
  object imgMode: image
    Bounds = 200 40 32 32
    AccessibleName = "Secure mode"
    OnClick = ImageClick
  end
  object shpRule: shape
    Bounds = 8 120 280 2
  end
  object lblHidden: label
    Bounds = 8 130 100 15
    Caption = "Hidden"
    Visible = false
  end
end
)";

class Accessibility : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        widgets::RegisterKXLabel();
        form = FormFromLayout(kLayout);
        form->RegisterHandler("TextLinkClick", widgets::TKXLabelLinkClickEvent(
                                                   [this](TComponent*, widgets::THTMLRenderItem& item) { followed += item.Href; }));
        form->RegisterHandler("ImageClick", TNotifyEvent([this](TComponent*) { ++clicks; }));
        form->AfterConstruction();
        form->Show();
        UpdateWindow(form->Handle());
    }
    void TearDown() override {
        form.reset();
        FormTest::TearDown();
        CoUninitialize();
    }

    std::unique_ptr<TForm> form;
    std::wstring followed;
    int clicks = 0;
};

TEST_F(Accessibility, LabelsImagesAndLinksAreChildrenOfTheirWindow) {
    ComPtr<IAccessible> client = ClientObject(form->Handle());
    ASSERT_TRUE(client);
    LONG count = 0;
    ASSERT_EQ(S_OK, client->get_accChildCount(&count));
    EXPECT_EQ(4, count) << "the rule and the hidden label are left out";

    ComPtr<IAccessible> label = ChildObject(client.Get(), 1);
    ASSERT_TRUE(label);
    EXPECT_EQ(ROLE_SYSTEM_STATICTEXT, Role(label.Get()));
    EXPECT_EQ(L"User name:", Name(label.Get()));
    EXPECT_EQ(L"User name:", Name(client.Get(), 1)) << "asked of the parent for its child";

    ComPtr<IAccessible> text = ChildObject(client.Get(), 3);
    ASSERT_TRUE(text);
    EXPECT_EQ(L"Read the first link or the second one, which wraps over lines.", Name(text.Get()));
    ASSERT_EQ(S_OK, text->get_accChildCount(&count));
    ASSERT_EQ(2, count);
    EXPECT_EQ(ROLE_SYSTEM_LINK, Role(text.Get(), 1));
    EXPECT_EQ(L"the first link", Name(text.Get(), 1));
    EXPECT_EQ(L"second one, which wraps over lines", Name(text.Get(), 2));
    EXPECT_EQ(L"Jump", Action(text.Get(), 2));
    LONG left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(S_OK, text->accLocation(&left, &top, &width, &height, ChildId(2)));
    const POINT origin = form->Get<TControl>(L"lblText").ClientToScreen({0, 0});
    EXPECT_GT(height, 20) << "the link wraps over two lines";
    EXPECT_GE(left, origin.x);
    VARIANT hit;
    ASSERT_EQ(S_OK, text->accHitTest(left + 2, top + 2, &hit));
    EXPECT_EQ(2, hit.lVal);

    ComPtr<IAccessible> image = ChildObject(client.Get(), 4);
    ASSERT_TRUE(image);
    EXPECT_EQ(ROLE_SYSTEM_GRAPHIC, Role(image.Get()));
    EXPECT_EQ(L"Secure mode", Name(image.Get()));
    EXPECT_EQ(L"Click", Action(image.Get()));
    const TControl& picture = form->Get<TControl>(L"imgMode");
    ASSERT_EQ(S_OK, image->accLocation(&left, &top, &width, &height, ChildId(CHILDID_SELF)));
    EXPECT_EQ(picture.ClientToScreen({0, 0}).x, left);
    EXPECT_EQ(32, width);

    // Default actions run once the request has returned.
    EXPECT_EQ(S_OK, text->accDoDefaultAction(ChildId(2)));
    EXPECT_EQ(S_OK, image->accDoDefaultAction(ChildId(CHILDID_SELF)));
    EXPECT_TRUE(followed.empty());
    Pump();
    EXPECT_EQ(L"two", followed);
    EXPECT_EQ(1, clicks);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, label->accDoDefaultAction(ChildId(CHILDID_SELF))) << "a plain label does nothing";

    form.reset();
    BSTR name = nullptr;
    EXPECT_EQ(CO_E_OBJNOTCONNECTED, image->get_accName(ChildId(CHILDID_SELF), &name)) << "its control is gone";
    EXPECT_TRUE(errors.empty());
}

TEST_F(Accessibility, EditIsNamedByItsLabelWithTheAccessKey) {
    ComPtr<IAccessible> edit = ClientObject(form->Get<TWinControl>(L"edtName").Handle());
    ASSERT_TRUE(edit);
    EXPECT_EQ(L"User name:", Name(edit.Get()));
    EXPECT_EQ(L"Alt+U", AccessibleText([&](BSTR* text) { return edit->get_accKeyboardShortcut(ChildId(CHILDID_SELF), text); }));
}

}  // namespace
