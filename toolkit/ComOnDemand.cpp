#include "toolkit/ComOnDemand.h"

#include <windows.h>
#include <objbase.h>

namespace toolkit {
namespace {

enum class ComState { NotTried, Started, Unavailable };
thread_local ComState t_com = ComState::NotTried;

}  // namespace

void StartComOnThisThread() {
    if (t_com != ComState::NotTried) return;
    const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    t_com = SUCCEEDED(result) ? ComState::Started : ComState::Unavailable;
}

ComStartedOnDemand::~ComStartedOnDemand() {
    if (t_com == ComState::Started) CoUninitialize();
    t_com = ComState::NotTried;
}

}  // namespace toolkit
