// The claim reply as it arrives from the server, the judge that takes a token from it, and the request body.
#include <fuzzer/FuzzedDataProvider.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "pairing/claim.h"
#include "platform/system/utf8.h"

namespace {

bool lowerHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavix;
    FuzzedDataProvider provider(data, size);
    const auto flags = provider.ConsumeIntegral<std::uint8_t>();
    HttpResponse response;
    if ((flags & 1) != 0) response.transportError = "Could not connect to server";
    response.bodyCut = (flags & 2) != 0;
    // Mostly 200, the one status that can carry a token.
    response.status = (flags & 4) != 0 ? provider.ConsumeIntegral<long>() : 200;
    if ((flags & 8) == 0) response.body = provider.ConsumeRemainingBytesAsString();
    const HttpResponse sent = response;

    const ClaimReply reply = readClaimReply(std::move(response));
    FUZZ_CHECK(reply.transportError == sent.transportError);
    if (reply.object) FUZZ_CHECK(reply.object->is_object());
    if (reply.transportError) FUZZ_CHECK(!reply.object);

    const auto token = claimedToken(reply);
    if (token) {
        FUZZ_CHECK(token->size() == 64 && std::all_of(token->begin(), token->end(), lowerHex));
        FUZZ_CHECK(reply.status == 200 && sent.status == 200);
        FUZZ_CHECK(!sent.transportError && !sent.bodyCut && sent.body);
        // The token is the "token" member of the body as a JSON object.
        const auto parsed = nlohmann::json::parse(*sent.body, nullptr, false);
        FUZZ_CHECK(parsed.is_object() && parsed.contains("token") && parsed["token"] == *token);
    }
    if (sent.status != 200) FUZZ_CHECK(!token);

    // A good reply body is judged good, whatever surrounds the token in it.
    if (sent.body && isValidUtf8(*sent.body) && sent.body->size() >= 64 && !sent.transportError) {
        const std::string candidate = sent.body->substr(0, 64);
        ClaimReply good{std::nullopt, sent.status, nlohmann::json{{"token", candidate}, {"other", *sent.body}}};
        const bool valid = std::all_of(candidate.begin(), candidate.end(), lowerHex);
        FUZZ_CHECK(claimedToken(good).has_value() == (valid && sent.status == 200));
        FUZZ_CHECK(isAccountToken(candidate) == valid);
    }

    // The request body: compact JSON holding exactly the code and the label, when both are text.
    const std::string code = sent.body ? sent.body->substr(0, 6) : std::string();
    const std::string label = sent.body && sent.body->size() > 6 ? sent.body->substr(6) : std::string();
    const auto body = claimBody(code, label);
    FUZZ_CHECK(body.has_value() == (isValidUtf8(code) && isValidUtf8(label)));
    if (body) {
        const auto parsed = nlohmann::json::parse(*body, nullptr, false);
        FUZZ_CHECK(parsed == (nlohmann::json{{"code", code}, {"label", label}}));
        FUZZ_CHECK(parsed.dump() == *body);
    }
    return 0;
}
