// Fuzzes the reader of the address book (IPRecord.dat): the parser of the
// whole file's bytes and the file loader on the same bytes written to a
// temporary file, which must agree; a parsed book must survive being written back.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "core/store/address_book.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_file.h"

namespace {

using fuzz_support::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const auto parsed = ParseAddressBook(bytes);
    const auto loaded = LoadAddressBook(WriteFuzzFile("IPRecord.dat", bytes));
    Check(parsed.has_value() == loaded.has_value());
    if (!parsed) {
        return 0;
    }
    Check(*parsed == *loaded);
    for (const AddressBookEntry& entry : *parsed) {
        Check(entry.userName.size() <= kAddressTextMax &&
              entry.ipAddress.size() <= kAddressTextMax && entry.comment.size() <= kAddressTextMax);
        Check(entry.userName.find('\0') == std::string::npos);
        // Writing a read record back keeps its port (texts may lose a cut
        // UTF-8 sequence at their end).
        const auto again = DecodeAddressRecord(EncodeAddressRecord(entry));
        Check(again && again->port == entry.port);
    }
    const std::string text = SerializeAddressBook(*parsed);
    const auto reparsed = ParseAddressBook(
        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    Check(reparsed && reparsed->size() == parsed->size());
    return 0;
}
