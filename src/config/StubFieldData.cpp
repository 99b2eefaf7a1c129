#include "config/StubFields.h"

#include "platform/Resources.h"

#include <mutex>

// The blocks themselves. They are writable globals of their own translation
// unit, kept even when unreferenced, so that the compiler emits them with
// their initial bytes and never treats the shipped (empty) values as
// constants: a patch tool rewrites them in the finished file. This file is the
// only place where the marker texts appear in full.
__attribute__((used)) char g_stubServerUrl[146] = "SERVER_URL_HERE:";
__attribute__((used)) char g_stubUpdatePath[147] = "UPDATE_PATH_HERE:";
__attribute__((used)) char g_stubLanguage[48] = "LANGUAGE_HERE:";
__attribute__((used)) char g_stubAffiliateId[84] = "AFFILIATE_ID_HERE:";
__attribute__((used)) char g_stubReferrerId[83] = "REFERRER_ID_HERE:";
__attribute__((used)) char g_stubPromocode[81] = "PROMOCODE_HERE:";

namespace config {

void RegisterStubFieldResources() {
    static std::once_flag once;
    std::call_once(once, [] {
        plat::RegisterResource("SERVER_URL", kStubServerUrlId, g_stubServerUrl,
                               sizeof g_stubServerUrl);
        plat::RegisterResource("UPDATE_PATH", kStubUpdatePathId, g_stubUpdatePath,
                               sizeof g_stubUpdatePath);
        plat::RegisterResource("LANGUAGE", kStubLanguageId, g_stubLanguage, sizeof g_stubLanguage);
        plat::RegisterResource("AFFILIATE_ID", kStubAffiliateId, g_stubAffiliateId,
                               sizeof g_stubAffiliateId);
        plat::RegisterResource("REFERRER_ID", kStubReferrerId, g_stubReferrerId,
                               sizeof g_stubReferrerId);
        plat::RegisterResource("PROMOCODE", kStubPromocodeId, g_stubPromocode,
                               sizeof g_stubPromocode);
    });
}

} // namespace config
