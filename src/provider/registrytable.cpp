#include "provider/registrytable.h"

namespace tarn::provider {

namespace {

#define APPID_KEY u"AppID\\%APPID%"
#define APPID_DLL_KEY u"AppID\\KpxTarnRuleProvider.DLL"
#define PROGID u"Orvanta.KpxTarnRuleProvider.1"
#define VI_PROGID u"Orvanta.KpxTarnRuleProvider"
#define CLASSID u"{DF407668-EC52-4582-8C1D-0C4D73E9530E}"
#define CLASS_KEY u"CLSID\\" CLASSID
#define CLASS_NAME u"Orvanta Tarn Rule Provider Class"

constexpr RegistryEntry kAppIdEntries[] = {
    {APPID_KEY, nullptr, u"KpxTarnRuleProvider"},
    {APPID_DLL_KEY, u"AppID", u"%APPID%"},
};
constexpr const char16_t* kAppIdRemoved[] = {APPID_KEY, APPID_DLL_KEY};

constexpr const char16_t* kClassReplaced[] = {CLASS_KEY, CLASS_KEY u"\\Programmable"};
constexpr RegistryEntry kClassEntries[] = {
    {PROGID, nullptr, CLASS_NAME},
    {PROGID u"\\CLSID", nullptr, CLASSID},
    {VI_PROGID, nullptr, CLASS_NAME},
    {VI_PROGID u"\\CLSID", nullptr, CLASSID},
    {VI_PROGID u"\\CurVer", nullptr, PROGID},
    {CLASS_KEY, nullptr, u"Orvanta Win32 Rule Provider Class"},
    {CLASS_KEY u"\\ProgID", nullptr, PROGID},
    {CLASS_KEY u"\\VersionIndependentProgID", nullptr, VI_PROGID},
    {CLASS_KEY u"\\Programmable", nullptr, nullptr},
    {CLASS_KEY u"\\InprocServer32", nullptr, u"%MODULE%"},
    {CLASS_KEY u"\\InprocServer32", u"ThreadingModel", u"Free"},
    {CLASS_KEY, u"AppID", u"%APPID%"},
    {CLASS_KEY u"\\TypeLib", nullptr, u"{CDF1B27E-DB47-4fcf-868D-282BA5F4D329}"},
};
constexpr const char16_t* kClassRemoved[] = {PROGID, VI_PROGID, CLASS_KEY};

constexpr RegistrationScript kAppIdScript{{}, kAppIdEntries, kAppIdRemoved};
constexpr RegistrationScript kClassScript{kClassReplaced, kClassEntries, kClassRemoved};

} // namespace

const RegistrationScript& AppIdScript() noexcept {
    return kAppIdScript;
}

const RegistrationScript& ClassScript() noexcept {
    return kClassScript;
}

} // namespace tarn::provider
