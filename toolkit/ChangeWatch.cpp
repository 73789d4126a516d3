#include "toolkit/ChangeWatch.h"

#include "engine/OsError.h"
#include "toolkit/Application.h"
#include "toolkit/OptionalFunction.h"

namespace toolkit {
namespace {

constexpr DWORD kChanges = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

using PFN_RegisterPowerSettingNotification = HPOWERNOTIFY(WINAPI*)(HANDLE, LPCGUID, DWORD);
using PFN_UnregisterPowerSettingNotification = BOOL(WINAPI*)(HPOWERNOTIFY);

PFN_RegisterPowerSettingNotification RegisterFunction() {
    static engine::OsFunctionSlot slot;
    return OptionalFunction<PFN_RegisterPowerSettingNotification>(slot, "user32.dll",
                                                                  "RegisterPowerSettingNotification");
}

PFN_UnregisterPowerSettingNotification UnregisterFunction() {
    static engine::OsFunctionSlot slot;
    return OptionalFunction<PFN_UnregisterPowerSettingNotification>(slot, "user32.dll",
                                                                    "UnregisterPowerSettingNotification");
}

}  // namespace

// ---- TRegistryWatch

TRegistryWatch::TRegistryWatch(HKEY root, const std::wstring& path, REGSAM view, bool subtree) : subtree_(subtree) {
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(root, path.c_str(), 0, KEY_NOTIFY | view, &key);
    if (status != ERROR_SUCCESS) engine::RaiseOsError(static_cast<DWORD>(status));
    key_.Reset(key);
    // Auto-reset: the message loop's wait takes the signal.
    event_.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!event_) engine::RaiseOsError(GetLastError());
    status = Watch();
    if (status != ERROR_SUCCESS) engine::RaiseOsError(static_cast<DWORD>(status));
    Application().Watch(event_.Get(), [this] { Signalled(); });
    watching_ = true;
}

TRegistryWatch::~TRegistryWatch() {
    // Closing the key signals the event: nobody may be waiting for it then.
    if (watching_) Application().Unwatch(event_.Get());
    key_.Reset();
}

LSTATUS TRegistryWatch::Watch() {
    return RegNotifyChangeKeyValue(key_.Get(), subtree_, kChanges, event_.Get(), TRUE);
}

// Renewed before anyone reads, so that a change made meanwhile signals again.
void TRegistryWatch::Signalled() {
    if (Watch() != ERROR_SUCCESS) {
        Application().Unwatch(event_.Get());
        watching_ = false;
        if (OnFailure) OnFailure();
    }
    if (OnChange) OnChange();
}

// ---- TPowerSettingWatch

bool TPowerSettingWatch::Supported() { return RegisterFunction() && UnregisterFunction(); }

bool TPowerSettingWatch::Register(HWND window, const GUID& setting) {
    if (!Supported()) return false;
    unregister_ = UnregisterFunction();
    registration_ = RegisterFunction()(window, &setting, DEVICE_NOTIFY_WINDOW_HANDLE);
    return registration_ != nullptr;
}

TPowerSettingWatch::~TPowerSettingWatch() {
    if (registration_) unregister_(registration_);
}

}  // namespace toolkit
