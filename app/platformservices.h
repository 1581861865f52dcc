#pragma once

namespace zelvora {

class Alert;
class Confirm;
class OpenPanel;
class SettingsStore;
class UrlOpener;

// The desktop services the controller uses; they outlive it.
struct PlatformServices
{
    SettingsStore &settings;
    OpenPanel &openPanel;
    Alert &alert;
    UrlOpener &urlOpener;
    Confirm &confirm;
};

} // namespace zelvora
