#include "platform/net/StringEncoding.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace morvix::platform {

namespace {

struct EncodingName {
    const char* iana;
    StringEncoding encoding;
};

// The names a server may send, with the platform encoding each one means.
constexpr EncodingName kNames[] = {
    { "us-ascii", kASCIIStringEncoding }, { "ascii", kASCIIStringEncoding },
    { "utf-8", kUTF8StringEncoding }, { "utf8", kUTF8StringEncoding },
    { "iso-8859-1", kISOLatin1StringEncoding }, { "latin1", kISOLatin1StringEncoding }, { "iso_8859-1", kISOLatin1StringEncoding },
    { "iso-8859-2", kISOLatin2StringEncoding }, { "latin2", kISOLatin2StringEncoding },
    { "euc-jp", kJapaneseEUCStringEncoding }, { "shift_jis", kShiftJISStringEncoding }, { "sjis", kShiftJISStringEncoding },
    { "iso-2022-jp", kISO2022JPStringEncoding },
    { "windows-1250", kWindowsCP1250StringEncoding }, { "windows-1251", kWindowsCP1251StringEncoding },
    { "windows-1252", kWindowsCP1252StringEncoding }, { "windows-1253", kWindowsCP1253StringEncoding },
    { "windows-1254", kWindowsCP1254StringEncoding }, { "macintosh", kMacOSRomanStringEncoding },
    { "utf-16", kUTF16StringEncoding }, { "utf-16be", kUTF16BigEndianStringEncoding }, { "utf-16le", kUTF16LittleEndianStringEncoding },
    { "utf-32", kUTF32StringEncoding }, { "utf-32be", kUTF32BigEndianStringEncoding }, { "utf-32le", kUTF32LittleEndianStringEncoding },
};

const char* converterName(StringEncoding encoding)
{
    switch (encoding) {
    case kASCIIStringEncoding: return "US-ASCII";
    case kUTF8StringEncoding: return "UTF-8";
    case kISOLatin1StringEncoding: return "ISO-8859-1";
    case kISOLatin2StringEncoding: return "ISO-8859-2";
    case kJapaneseEUCStringEncoding: return "EUC-JP";
    case kShiftJISStringEncoding: return "Shift_JIS";
    case kISO2022JPStringEncoding: return "ISO-2022-JP";
    case kWindowsCP1250StringEncoding: return "windows-1250";
    case kWindowsCP1251StringEncoding: return "windows-1251";
    case kWindowsCP1252StringEncoding: return "windows-1252";
    case kWindowsCP1253StringEncoding: return "windows-1253";
    case kWindowsCP1254StringEncoding: return "windows-1254";
    case kMacOSRomanStringEncoding: return "macintosh";
    case kUTF16StringEncoding: return "UTF-16";
    case kUTF16BigEndianStringEncoding: return "UTF-16BE";
    case kUTF16LittleEndianStringEncoding: return "UTF-16LE";
    case kUTF32StringEncoding: return "UTF-32";
    case kUTF32BigEndianStringEncoding: return "UTF-32BE";
    case kUTF32LittleEndianStringEncoding: return "UTF-32LE";
    default: return nullptr;
    }
}

struct ConverterDeleter {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};

} // namespace

StringEncoding stringEncodingForIANACharsetName(std::string_view name)
{
    std::string lowered(name);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const auto& entry : kNames) {
        if (lowered == entry.iana)
            return entry.encoding;
    }
    return 0;
}

namespace {

// `bytes` from the converter `fromName` to `toName`, strict both ways (nothing is replaced);
// nothing when a name is not known or a character has no place. `widest` bounds the bytes one
// input byte can become.
std::optional<std::string> convert(std::string_view bytes, const char* fromName, const char* toName, std::size_t widest)
{
    if (!fromName || !toName)
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, ConverterDeleter> from(ucnv_open(fromName, &status));
    std::unique_ptr<UConverter, ConverterDeleter> to(ucnv_open(toName, &status));
    if (U_FAILURE(status))
        return std::nullopt;
    ucnv_setToUCallBack(from.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFromUCallBack(to.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    std::string out(bytes.size() * widest + 16, '\0');
    char* target = out.data();
    const char* source = bytes.data();
    ucnv_convertEx(to.get(), from.get(), &target, out.data() + out.size(), &source, bytes.data() + bytes.size(),
        nullptr, nullptr, nullptr, nullptr, true, true, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    out.resize(static_cast<std::size_t>(target - out.data()));
    return out;
}

} // namespace

std::optional<std::string> decodeString(std::string_view bytes, StringEncoding encoding)
{
    return convert(bytes, converterName(encoding), "UTF-8", 4);
}

std::optional<std::string> encodeString(std::string_view text, StringEncoding encoding)
{
    // One byte of UTF-8 is at most one character, which no encoding here writes in more than
    // four bytes (a stateful one's shifts come on top: the margin).
    return convert(text, "UTF-8", converterName(encoding), 8);
}

} // namespace morvix::platform
