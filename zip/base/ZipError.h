#pragma once
// The engine's error classes. Every failure the engine reports is one of
// these, carrying the fixed English text the user sees.

#include <stdexcept>
#include <string>

namespace mzb {

class EZipError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class EUserCanceled : public EZipError {
public:
    using EZipError::EZipError;
};
class ENotEnoughRoom : public EZipError {
public:
    using EZipError::EZipError;
};
class EBadZipFile : public EZipError {
public:
    using EZipError::EZipError;
};
class EIncompleteZip : public EZipError {
public:
    using EZipError::EZipError;
};
class ENotAZipFile : public EZipError {
public:
    using EZipError::EZipError;
};
class EFatalUnzipError : public EZipError {
public:
    using EZipError::EZipError;
};
class EBiggerThanUncompressed : public EZipError {
public:
    using EZipError::EZipError;
};
// The text stays the fixed one; the output and the system's reason travel
// beside it for a report that names them.
class ECantWriteUCF : public EZipError {
public:
    using EZipError::EZipError;
    ECantWriteUCF(const std::string& text, std::string path, int errorCode)
        : EZipError(text), Path(std::move(path)), ErrorCode(errorCode) {}

    std::string Path;  // the output file, when known
    int ErrorCode = 0; // errno of the write that fell short, when known
};
// A writer told to write no archive without files found none to add.
class ENoFilesAdded : public EZipError {
public:
    using EZipError::EZipError;
};
// The host refused a complete new archive its name (the writer's
// OnArchiveReady): the file at the name is as it was, and the new archive
// stands at KeptAs, or, when it could not be moved there, is removed and
// ErrorCode holds the errno of the move.
class EArchiveRefused : public EZipError {
public:
    EArchiveRefused(const std::string& text, std::string keptAs, int errorCode)
        : EZipError(text), KeptAs(std::move(keptAs)), ErrorCode(errorCode) {}

    std::string KeptAs; // empty when the move failed
    int ErrorCode = 0;
};
// An entry query or list operation given an index outside the list.
class EListError : public EZipError {
public:
    using EZipError::EZipError;
};
// A value that the archive format's fields cannot hold (a size, an offset, an
// entry count): refused rather than written wrong.
class EZipFormatError : public EZipError {
public:
    using EZipError::EZipError;
};

// The cryptographic library could not do its part (no random bytes for a
// salt, no memory for a cipher): nothing is written unencrypted instead.
class EEncryptionError : public EZipError {
public:
    using EZipError::EZipError;
};

// An archive split into parts (a non-zero disk number, or a separate
// directory file): recognised, but not read.
class EMultiPartZip : public EZipError {
public:
    using EZipError::EZipError;
};

// A run asked of a writer or reader while one is under way on it: refused,
// since the two would share its settings, its open archive and its events.
class ERunUnderWay : public EZipError {
public:
    using EZipError::EZipError;
};

// The silent abort: ends the current operation without any report. It is not
// an EZipError, so handlers that report engine errors let it pass.
class EAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

} // namespace mzb
