#pragma once
// Notifications of changes that others make, delivered on the user-interface
// thread: a registry key's values and subkeys (RegNotifyChangeKeyValue, whose
// notification belongs to the thread that asked for it before Windows 8, so
// it is asked for and renewed on this thread from the message loop), and a
// power setting of the system (RegisterPowerSettingNotification, which sends
// the window WM_POWERBROADCAST with PBT_POWERSETTINGCHANGE).

#include "toolkit/Handles.h"

#include <windows.h>

#include <functional>
#include <string>

namespace toolkit {

class TRegistryWatch {
public:
    // Opens `path` under `root` for notification (`view`: KEY_WOW64_64KEY or
    // 0) and watches its values and subkey names, with those of every subkey
    // when `subtree`. Raises EOSError when the key cannot be opened or watched.
    TRegistryWatch(HKEY root, const std::wstring& path, REGSAM view, bool subtree);
    ~TRegistryWatch();
    TRegistryWatch(const TRegistryWatch&) = delete;
    TRegistryWatch& operator=(const TRegistryWatch&) = delete;

    // After each change, once the watch has been renewed.
    std::function<void()> OnChange;
    // When the watch cannot be renewed; no change is reported after it.
    std::function<void()> OnFailure;

private:
    LSTATUS Watch();
    void Signalled();

    bool subtree_;
    RegistryKey key_;
    KernelHandle event_;
    bool watching_ = false;
};

class TPowerSettingWatch {
public:
    TPowerSettingWatch() = default;
    ~TPowerSettingWatch();
    TPowerSettingWatch(const TPowerSettingWatch&) = delete;
    TPowerSettingWatch& operator=(const TPowerSettingWatch&) = delete;

    // Whether the system has the function (Windows Vista and later).
    static bool Supported();
    // Sends `window` the changes of the power setting; false when the system
    // refuses or lacks the function.
    bool Register(HWND window, const GUID& setting);

private:
    HPOWERNOTIFY registration_ = nullptr;
    BOOL(WINAPI* unregister_)(HPOWERNOTIFY) = nullptr;
};

}  // namespace toolkit
