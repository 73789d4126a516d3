#include "MachineTest.h"
#include "shell/Substitution.h"

#include <gtest/gtest.h>

namespace {

class Substitution : public MachineTest {
protected:
    void SetUp() override { shell::CreateSubstitutionList(); }
    void TearDown() override {
        shell::FreeSubstitutionList();
        MachineTest::TearDown();
    }
};

TEST_F(Substitution, ProcessTableHoldsTheProductName) {
    ASSERT_NE(shell::SubstitutionList(), nullptr);
    ASSERT_EQ(shell::SubstitutionList()->Lines().size(), 1u);
    EXPECT_EQ(shell::SubstitutionList()->Lines()[0], WSTR("APPNAME=Gatewise"));
    EXPECT_EQ(shell::SubstituteText(WSTR("About {APPNAME}")), WSTR("About Gatewise"));
    EXPECT_EQ(shell::SubstituteText(WSTR("{APPNAME} Options")), WSTR("Gatewise Options"));
}

TEST_F(Substitution, TokensMatchInAnyCaseAndSideBySide) {
    EXPECT_EQ(shell::SubstituteText(WSTR("{appname}")), WSTR("Gatewise"));
    EXPECT_EQ(shell::SubstituteText(WSTR("{AppName}{APPNAME}")), WSTR("GatewiseGatewise"));
    EXPECT_EQ(shell::SubstituteText(WSTR("a {APPNAME}\r\nb {appName}.")), WSTR("a Gatewise\r\nb Gatewise."));
}

TEST_F(Substitution, TextsWithoutKnownTokensStayAsWritten) {
    EXPECT_EQ(shell::SubstituteText(WSTR("")), WSTR(""));
    EXPECT_EQ(shell::SubstituteText(WSTR("Secure Mode")), WSTR("Secure Mode"));
    EXPECT_EQ(shell::SubstituteText(WSTR("{OTHER} {APPNAME {APP NAME} APPNAME")),
              WSTR("{OTHER} {APPNAME {APP NAME} APPNAME"));
}

TEST_F(Substitution, WithoutTheTableEveryTokenStays) {
    shell::FreeSubstitutionList();
    EXPECT_EQ(shell::SubstitutionList(), nullptr);
    EXPECT_EQ(shell::SubstituteText(WSTR("About {APPNAME}")), WSTR("About {APPNAME}"));
}

TEST_F(Substitution, LinesApplyInOrderEachToTheResultOfTheOnesBefore) {
    shell::TSubstitutionList forward;
    forward.Add(WSTR("A=x{B}"));
    forward.Add(WSTR("B=y"));
    EXPECT_EQ(shell::SubstituteText(WSTR("{A}/{B}"), &forward), WSTR("xy/y"));

    shell::TSubstitutionList backward;
    backward.Add(WSTR("B=y"));
    backward.Add(WSTR("A=x{B}"));
    EXPECT_EQ(shell::SubstituteText(WSTR("{A}/{B}"), &backward), WSTR("x{B}/y"));
}

TEST_F(Substitution, ReplacedTextIsNotRescannedByTheSameLine) {
    shell::TSubstitutionList list;
    list.Add(WSTR("LOOP={LOOP}!"));
    EXPECT_EQ(shell::SubstituteText(WSTR("{loop}{LOOP}"), &list), WSTR("{LOOP}!{LOOP}!"));
}

TEST_F(Substitution, ValuesComeFromTheFirstLineOfThatNameInAnyCase) {
    shell::TSubstitutionList list;
    list.Add(WSTR("Name=first=with equals"));
    list.Add(WSTR("NAME=second"));
    EXPECT_EQ(list.Name(0), WSTR("Name"));
    EXPECT_EQ(list.Value(WSTR("name")), WSTR("first=with equals"));
    EXPECT_EQ(shell::SubstituteText(WSTR("{NAME}"), &list), WSTR("first=with equals"));
}

}  // namespace
