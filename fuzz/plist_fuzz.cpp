// The start-at-login edit of a LaunchAgent property list, on whatever the file holds. The edit reads the list in a
// forked copy of the process, so what libplist itself does wrong on a hostile list (the copy crashing or running
// out of time or memory) comes back as an error; the checks are on what the caller receives. Where the copy came
// through, the same edit is repeated here, where coverage and the sanitizers see it.
#include <expat.h>
#include <plist/plist.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <variant>

#include "fuzz_check.h"
#include "platform/system/plist_file.h"

namespace {

struct Free {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Node = std::unique_ptr<void, Free>;

Node parse(const std::string& bytes) {
    plist_t node = nullptr;
    plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &node);
    return Node(node);
}

bool boolean(plist_t dict, const char* key, bool value) {
    plist_t item = plist_dict_get_item(dict, key);
    if (item == nullptr || plist_get_node_type(item) != PLIST_BOOLEAN) return false;
    std::uint8_t got = 0;
    plist_get_bool_val(item, &got);
    return (got != 0) == value;
}

// The same value, containers compared member by member.
bool same(plist_t a, plist_t b) {
    const plist_type type = plist_get_node_type(a);
    if (type != plist_get_node_type(b)) return false;
    if (type == PLIST_ARRAY) {
        if (plist_array_get_size(a) != plist_array_get_size(b)) return false;
        for (std::uint32_t i = 0; i < plist_array_get_size(a); ++i) {
            if (!same(plist_array_get_item(a, i), plist_array_get_item(b, i))) return false;
        }
        return true;
    }
    if (type == PLIST_DICT) {
        if (plist_dict_get_size(a) != plist_dict_get_size(b)) return false;
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(a, &iter);
        bool equal = true;
        for (;;) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(a, iter, &key, &value);
            if (key == nullptr) break;
            plist_t other = plist_dict_get_item(b, key);
            equal = equal && other != nullptr && same(value, other);
            std::free(key);
        }
        std::free(iter);
        return equal;
    }
    if (type == PLIST_STRING || type == PLIST_KEY || type == PLIST_DATA) {
        std::uint64_t lengthA = 0, lengthB = 0;
        const char* textA = type == PLIST_DATA ? plist_get_data_ptr(a, &lengthA) : plist_get_string_ptr(a, &lengthA);
        const char* textB = type == PLIST_DATA ? plist_get_data_ptr(b, &lengthB) : plist_get_string_ptr(b, &lengthB);
        return lengthA == lengthB && (lengthA == 0 || std::memcmp(textA, textB, lengthA) == 0);
    }
    if (type == PLIST_REAL) {
        double realA = 0, realB = 0;
        plist_get_real_val(a, &realA);
        plist_get_real_val(b, &realB);
        return realA == realB || (realA != realA && realB != realB);
    }
    if (type == PLIST_DATE) {
        // The XML form keeps whole seconds.
        std::int32_t secondsA = 0, secondsB = 0, microsA = 0, microsB = 0;
        plist_get_date_val(a, &secondsA, &microsA);
        plist_get_date_val(b, &secondsB, &microsB);
        return secondsA == secondsB;
    }
    return plist_compare_node_value(a, b) != 0;
}

// Well-formed XML to a reader other than libplist.
bool wellFormedXml(const std::string& xml) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    const bool ok = XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), XML_TRUE) == XML_STATUS_OK;
    XML_ParserFree(parser);
    return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavix;
    if (size < 1) return 0;
    const bool on = (data[0] & 1) != 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const PlistBooleans values = {{"RunAtLoad", on}, {"KeepAlive", on}};

    const auto edited = setPlistBooleans(bytes, values, "app.tavix.link.plist");
    const auto* failure = std::get_if<Error>(&edited);
    if (failure == nullptr || failure->code != 4) {
        const auto here = setPlistBooleansHere(bytes, values, "app.tavix.link.plist");
        FUZZ_CHECK(here.index() == edited.index());
        if (failure != nullptr) FUZZ_CHECK(std::get<Error>(here).description == failure->description);
        if (failure == nullptr) FUZZ_CHECK(std::get<std::string>(here) == std::get<std::string>(edited));
    }
    if (const auto* error = std::get_if<Error>(&edited)) {
        FUZZ_CHECK(error->domain == kPropertyListDomain);
        FUZZ_CHECK(error->code >= 1 && error->code <= 4);
        FUZZ_CHECK(error->description.find("app.tavix.link.plist") != std::string::npos);
        return 0;
    }
    // Written out as an XML list with a dictionary at the top, holding the new values and every old key.
    const std::string& xml = std::get<std::string>(edited);
    FUZZ_CHECK(xml.rfind("<?xml", 0) == 0);
    FUZZ_CHECK(wellFormedXml(xml));
    plist_t reread = nullptr;
    plist_from_xml(xml.data(), static_cast<std::uint32_t>(xml.size()), &reread);
    const Node out(reread);
    FUZZ_CHECK(out && plist_get_node_type(out.get()) == PLIST_DICT);
    FUZZ_CHECK(boolean(out.get(), "RunAtLoad", on) && boolean(out.get(), "KeepAlive", on));

    // Every other value is kept: the input as libplist writes and reads it back (which keeps one copy of a key
    // a damaged list holds twice), with the new values set.
    const Node in = parse(bytes);
    FUZZ_CHECK(in && plist_get_node_type(in.get()) == PLIST_DICT);
    char* inXml = nullptr;
    std::uint32_t inLength = 0;
    plist_to_xml(in.get(), &inXml, &inLength);
    plist_t canonical = nullptr;
    plist_from_xml(inXml, inLength, &canonical);
    plist_to_xml_free(inXml);
    const Node expected(canonical);
    FUZZ_CHECK(expected && plist_get_node_type(expected.get()) == PLIST_DICT);
    plist_dict_set_item(expected.get(), "RunAtLoad", plist_new_bool(on ? 1 : 0));
    plist_dict_set_item(expected.get(), "KeepAlive", plist_new_bool(on ? 1 : 0));
    FUZZ_CHECK(same(expected.get(), out.get()));

    // Setting the same values again keeps them, and a third time changes nothing.
    const auto again = setPlistBooleansHere(xml, values, "app.tavix.link.plist");
    FUZZ_CHECK(std::holds_alternative<std::string>(again));
    const Node secondRead(parse(std::get<std::string>(again)));
    FUZZ_CHECK(secondRead && same(secondRead.get(), out.get()));
    const auto third = setPlistBooleansHere(std::get<std::string>(again), values, "app.tavix.link.plist");
    FUZZ_CHECK(std::holds_alternative<std::string>(third) &&
               std::get<std::string>(third) == std::get<std::string>(again));
    return 0;
}
