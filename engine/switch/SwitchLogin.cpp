#include "engine/switch/SwitchLogin.h"

#include "engine/config/Configer.h"

LoginInfo CurrentSwitchLogin(const SwitchConfig& given) {
    if (Configer* config = Configer::Existing())
        return config->GetSwitchConfig().Login;
    return given.Login;
}
