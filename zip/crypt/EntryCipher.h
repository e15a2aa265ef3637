#pragma once
// The encryption of one archive entry, whatever the cipher: what it puts
// before the entry's data and after it, how a password is checked, the
// transform of the data in place, and the final check. The reader and the
// writer know entries only through this interface; the traditional cipher
// (ZipCrypt.h) and AES (AesCipher.h) are its two implementations.
//
// Writing: made for the entry, then Header(), Encrypt() over every data
// byte in order, Trailer(), and MarkEntry() once the entry's values are
// final. Reading: made from the entry's headers, CheckPassword() on the
// header bytes, Decrypt() over every data byte in order, CheckTrailer().

#include "zip/format/ZipHeaderInfo.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace mzb {

// The ciphers an archive can be written with. The values are those a
// project stores.
enum class TEncryption : std::uint8_t { Traditional = 0, Aes128 = 1, Aes192 = 2, Aes256 = 3 };

// "zipcrypto", "aes128", "aes192", "aes256": the names mzb takes and shows.
std::string_view EncryptionName(TEncryption encryption);
std::optional<TEncryption> EncryptionFromName(std::string_view name);
// How an entry of an archive is encrypted: one of the names above, "-"
// for none, or "unknown" for a cipher this engine cannot read.
std::string_view EntryEncryptionName(const TZipHeaderInfo& entry);

// Bytes the cipher adds around an entry's data.
std::size_t EncryptionOverhead(TEncryption encryption);

class TEntryCipher {
public:
    virtual ~TEntryCipher() = default;

    virtual std::size_t HeaderSize() const = 0;
    virtual std::size_t TrailerSize() const = 0;
    // Whether checking a password derives keys from it (thousands of hash
    // rounds): worth doing on a worker thread.
    virtual bool DerivesKeys() const = 0;

    // Writing.
    virtual std::vector<std::uint8_t> Header() = 0;
    virtual void Encrypt(std::uint8_t* data, std::size_t n) = 0;
    virtual std::vector<std::uint8_t> Trailer() = 0;
    // The flags, method, CRC and extra block that tell readers how the
    // entry was encrypted; its data values (sizes, method, CRC) are final.
    virtual void MarkEntry(TZipHeaderInfo& entry) const = 0;

    // Reading. False when the password does not open the entry.
    virtual bool CheckPassword(const std::uint8_t* header) = 0;
    virtual void Decrypt(std::uint8_t* data, std::size_t n) = 0;
    // False when the data read is not the data written (AES's
    // authentication code); a cipher without a trailer has nothing to check.
    virtual bool CheckTrailer(const std::uint8_t* trailer) = 0;
    // Whether the entry's CRC-32 is to be checked (AES's version 2 stores 0).
    virtual bool ChecksCrc() const = 0;
    // Whether a trailer that passes proves the password right, so that data
    // failing a later check is damaged rather than wrongly decrypted.
    virtual bool Authenticates() const = 0;
};

// Fills n bytes that readers never look at but that start an entry's key
// stream (the traditional cipher's filler). Tests give fixed bytes.
using TFillerSource = std::function<void(std::uint8_t* out, std::size_t n)>;

// The cipher for writing an entry. The traditional cipher's header holds
// bits of the entry's CRC-32, which must be known first; AES needs none and
// derives its keys here, from a fresh random salt.
std::unique_ptr<TEntryCipher> CipherForWriting(TEncryption encryption, std::string_view password,
                                               std::uint32_t crc, const TFillerSource& filler);
// Whether CipherForWriting needs the entry's CRC-32.
bool NeedsCrcFirst(TEncryption encryption);
// The marks MarkEntry will set, for the header written before the data:
// it must take the room of the final one.
void MarkEntryForCipher(TEncryption encryption, TZipHeaderInfo& entry);

// The cipher for reading an encrypted entry as its headers describe it;
// nullptr for a cipher this engine does not read.
std::unique_ptr<TEntryCipher> CipherForReading(const TZipHeaderInfo& entry,
                                               std::string_view password);

} // namespace mzb
