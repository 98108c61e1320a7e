// The core suite's entry point: GoogleTest's own, plus a check that fails any test whose scripted dialogs went
// wrong (the support library records those problems but knows no test framework).
#include "ScriptProblems.h"

#include <gtest/gtest.h>

namespace {

// After each test, one failure for every problem a ScriptedDialogs of that test left behind.
class ScriptProblemCheck : public ::testing::EmptyTestEventListener
{
public:
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        for (const std::string& problem : qbtest::takeScriptProblems())
            ADD_FAILURE() << "dialog script: " << problem;
    }
};

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // End events go to the listeners last-added first, so this check runs before the printer reports the test.
    ::testing::UnitTest::GetInstance()->listeners().Append(new ScriptProblemCheck);
    return RUN_ALL_TESTS();
}
