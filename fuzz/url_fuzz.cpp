// Fuzz target for the URL cracker and builder and the URL components built
// on them: any text is cracked (as an address, as a server text, as a path
// on a context), the parts are written back and cracked again, and a
// request's address is completed from a context's. What is built must crack
// to the same scheme and port, and a rebuilt query must be a fixed point.

#include "net/UrlComponents.h"
#include "platform/Internet.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

void CheckRoundTrip(const std::string& text) {
    plat::UrlParts parts;
    if (!plat::CrackUrl(text, &parts))
        return;
    std::string built;
    if (!plat::CreateUrl(parts, &built))
        return; // a part the builder refuses (an unknown scheme number)
    plat::UrlParts again;
    if (!plat::CrackUrl(built, &again))
        return;
    if (again.scheme != parts.scheme || again.port != parts.port)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckRoundTrip(text);

    CUrlComponents url;
    if (url.SetUrl(text)) {
        url.GetFullUrl();
        url.GetObjectText();
        std::string server = url.GetServerText();
        CUrlComponents context(server);
        CUrlComponents request;
        request.SetUrl(url.GetObjectText());
        request.SetQuery(text);
        request.Merge(context, true);
        request.GetFullUrl();
        // A rebuilt query is a fixed point: parsed and rebuilt again, it
        // keeps its arguments (an argument without name and value is the one
        // a first rebuild may drop).
        CUrlComponents once;
        once.SetQuery(request.GetQueryText());
        CUrlComponents twice;
        twice.SetQuery(once.GetQueryText());
        if (twice.Arguments() != once.Arguments() || twice.GetQueryText() != once.GetQueryText())
            __builtin_trap();
    }
    return 0;
}
