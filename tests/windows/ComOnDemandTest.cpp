// COM started by the features that need it, on their own thread, and ended
// with that thread's run. Each case runs on a thread of its own, which starts
// without COM.
#include "toolkit/ComOnDemand.h"
#include "widgets/GuiUtilities.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <thread>

namespace {

enum class Com { None, SingleThreaded, Other };

// The calling thread's apartment (the process's first STA is its main STA).
Com ComOfThisThread() {
    APTTYPE type{};
    APTTYPEQUALIFIER qualifier{};
    const HRESULT result = CoGetApartmentType(&type, &qualifier);
    EXPECT_TRUE(result == S_OK || result == CO_E_NOTINITIALIZED) << std::hex << result;
    if (result != S_OK) return Com::None;
    return type == APTTYPE_STA || type == APTTYPE_MAINSTA ? Com::SingleThreaded : Com::Other;
}

template <typename Body>
void OnNewThread(Body body) {
    std::thread(body).join();
}

TEST(ComOnDemand, StartsOneApartmentPerThreadAndEndsItWithTheThreadsRun) {
    OnNewThread([] {
        EXPECT_EQ(Com::None, ComOfThisThread());
        {
            toolkit::ComStartedOnDemand com;
            toolkit::StartComOnThisThread();
            toolkit::StartComOnThisThread();
            EXPECT_EQ(Com::SingleThreaded, ComOfThisThread());
        }
        // Started twice, it would still hold a reference here.
        EXPECT_EQ(Com::None, ComOfThisThread());
    });
}

TEST(ComOnDemand, OpeningAnAddressStartsComBeforeTheShellsCall) {
    OnNewThread([] {
        toolkit::ComStartedOnDemand com;
        EXPECT_EQ(Com::None, ComOfThisThread());
        widgets::OpenURL(L"C:\\no such folder\\no such document.gwdoc");
        EXPECT_EQ(Com::SingleThreaded, ComOfThisThread());
    });
}

}  // namespace
