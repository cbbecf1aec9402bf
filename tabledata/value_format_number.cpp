// NUMBER values: the exact stored value, and the narrow decoders of the
// NUMBER(p, s), NUMBER(p) and FLOAT columns, whose spelling is kept where it
// agrees with the exact value.

#include <algorithm>
#include <array>
#include <string_view>

#include "tabledata/value_format.h"
#include "tabledata/value_format_parts.h"

namespace restorix {

using namespace value_format_parts;

namespace {

using namespace number_layout;

// Exponent bytes of the positive numbers that the narrow decoders know.
constexpr std::uint8_t kHundredths = kPositiveExponentBias - 1;         // 0xC0
constexpr std::uint8_t kUnits = kPositiveExponentBias;                  // 0xC1
constexpr std::uint8_t kHundreds = kPositiveExponentBias + 1;           // 0xC2
constexpr std::uint8_t kTenThousands = kPositiveExponentBias + 2;       // 0xC3
constexpr std::uint8_t kMillions = kPositiveExponentBias + 3;           // 0xC4
constexpr std::uint8_t kHundredMillions = kPositiveExponentBias + 4;    // 0xC5

// Room for a valid NUMBER's exact value: 128 zeros after the point and 40
// digits, with a sign, a "0" and the point.
constexpr std::size_t kNumberTextRoom = 192;

// A decimal is canonical with "-" only when it is not zero, the integer digits
// without leading zeros ("0" when none), and "." with the fraction digits
// without trailing zeros when any remain. compactDecimal turns `digitCount`
// raw digits, held at base + kDecimalSlack with the first `integerLength` of
// them before the point, into that form written from `base` on. The slack is
// the most the form can add (sign, "0", point), so writing never overtakes
// the digits still to be read.
constexpr std::size_t kDecimalSlack = 3;

char* compactDecimal(char* base, bool negative, std::size_t integerLength, std::size_t digitCount) {
    const char* const digits = base + kDecimalSlack;
    std::size_t integerStart = 0;
    while (integerStart < integerLength && digits[integerStart] == '0') ++integerStart;
    std::size_t fractionEnd = digitCount;
    while (fractionEnd > integerLength && digits[fractionEnd - 1] == '0') --fractionEnd;
    const bool hasInteger = integerStart < integerLength;
    const bool hasFraction = fractionEnd > integerLength;
    char* at = base;
    if (negative && (hasInteger || hasFraction)) *at++ = '-';
    if (!hasInteger) *at++ = '0';
    // Copied forwards one by one: the few digits overlap where they go.
    for (std::size_t i = integerStart; i < integerLength; ++i) *at++ = digits[i];
    if (!hasFraction) return at;
    *at++ = '.';
    for (std::size_t i = integerLength; i < fractionEnd; ++i) *at++ = digits[i];
    return at;
}

// Whether `text` is a plain decimal whose canonical form is `canonical`; the
// narrow decoders' texts it is asked about are far shorter than the room.
bool hasCanonicalForm(std::string_view text, std::string_view canonical) {
    const std::optional<DecimalParts> parts = splitDecimal(text);
    if (!parts || text.size() > kShortTextRoom) return false;
    std::array<char, kShortTextRoom + kDecimalSlack> form;
    char* const digits = form.data() + kDecimalSlack;
    const std::size_t integerLength = parts->integerDigits.size();
    std::copy(parts->fractionDigits.begin(), parts->fractionDigits.end(),
              std::copy(parts->integerDigits.begin(), parts->integerDigits.end(), digits));
    const char* const end =
        compactDecimal(form.data(), parts->negative, integerLength, integerLength + parts->fractionDigits.size());
    return std::string_view(form.data(), static_cast<std::size_t>(end - form.data())) == canonical;
}

// Whether `text` is a spelling of the canonical decimal `exact`. Most often
// it is `exact` itself or `exact` with fraction zeros added ("5.50", "12.0"),
// which is told without taking `text` apart.
bool spellsTheSameNumber(std::string_view text, std::string_view exact) {
    if (!text.starts_with(exact)) return hasCanonicalForm(text, exact);
    std::string_view added = text.substr(exact.size());
    if (exact.find('.') == std::string_view::npos) {
        if (added.empty()) return true;
        if (added.front() != '.' || added.size() == 1) return hasCanonicalForm(text, exact);
        added.remove_prefix(1);
    }
    return added.find_first_not_of('0') == std::string_view::npos || hasCanonicalForm(text, exact);
}

// The most zeros an exponent puts before the digits (a value below 100^-64)
// or after them (an integer of 63 pairs).
constexpr std::size_t kMostExponentZeros = 128;

// Room for the exact value of any NUMBER of `size` bytes: the slack, the
// exponent's zeros and two digits per byte.
constexpr std::size_t exactNumberRoom(std::size_t size) { return kDecimalSlack + kMostExponentZeros + 2 * size; }

// The pairs of decimal digits of an unpacked NUMBER, from the first that is
// not zero to the last: pair i weighs 100^(exponent - i), so those up to the
// exponent's are the integer part (zeros where no pair is stored) and the
// rest the fraction, after the zero pairs of a value below 0.01. The integer
// part's leading zero and the fraction's trailing zero are left out. Made
// for one sign: no pair asks it again.
template <bool Negative>
char* writeExactPairs(std::span<const std::uint8_t> mantissa, long exponent, char* at) {
    const auto digitAt = [&](long i) {
        return UnpackedNumber::digitOf(Negative, mantissa[static_cast<std::size_t>(i)]);
    };
    const long count = static_cast<long>(mantissa.size());
    long first = 0;
    while (first < count && digitAt(first) == 0) ++first;
    if (first == count) {
        *at = '0';
        return at + 1;
    }
    long last = count - 1;
    while (digitAt(last) == 0) --last;
    if (Negative) *at++ = '-';
    if (first <= exponent) {
        const int lead = digitAt(first);
        at = lead < 10 ? writeDigit(at, lead) : writeTwoDigits(at, lead);
        // Stored pairs up to the last non-zero one, then the zeros the exponent adds.
        const long lastStored = std::min(exponent, last);
        for (long i = first + 1; i <= lastStored; ++i) at = writeTwoDigits(at, digitAt(i));
        at = std::fill_n(at, 2 * (exponent - lastStored), '0');
    } else {
        *at++ = '0';
    }
    if (last <= exponent) return at;
    *at++ = '.';
    // Zero pairs of a value below 0.01 first, then the stored pairs.
    const long firstStored = std::max(exponent + 1, 0L);
    at = std::fill_n(at, 2 * (firstStored - (exponent + 1)), '0');
    for (long i = firstStored; i < last; ++i) at = writeTwoDigits(at, digitAt(i));
    const int tail = digitAt(last);
    return tail % 10 == 0 ? writeDigit(at, tail / 10) : writeTwoDigits(at, tail);
}

// Writes the exact value of NUMBER bytes into exactNumberRoom; nothing, and
// nullptr, when the bytes are no valid NUMBER encoding.
char* writeExactNumber(Bytes bytes, char* at) {
    const std::optional<UnpackedNumber> number = unpackNumber(bytes);
    if (!number) return nullptr;
    return number->negative() ? writeExactPairs<true>(number->mantissa(), number->exponent(), at)
                              : writeExactPairs<false>(number->mantissa(), number->exponent(), at);
}

// Appends what `write` writes into `room` characters: on the stack when they
// are few, as they are for every valid NUMBER; false, appending nothing, when
// it returns nullptr.
template <typename Write>
bool appendNumberText(std::string& text, std::size_t room, const Write& write) {
    bool written = true;
    const auto writeOrNothing = [&](char* at) {
        char* const end = write(at);
        written = end != nullptr;
        return written ? end : at;
    };
    if (room <= kNumberTextRoom)
        appendShortText<kNumberTextRoom>(text, writeOrNothing);
    else
        appendWritten(text, room, writeOrNothing);
    return written;
}

// Appends the exact value of NUMBER bytes; false, appending nothing, when the
// bytes are no valid NUMBER encoding.
bool appendExactNumber(std::string& out, Bytes bytes) {
    return appendNumberText(out, exactNumberRoom(bytes.size()), [&](char* at) { return writeExactNumber(bytes, at); });
}

// Digit i as the narrow decoders take it: byte - 1, and 0 for a missing byte.
int digit(Bytes bytes, std::size_t i) { return i < bytes.size() ? bytes[i] - 1 : 0; }

// Digit i where the decoder takes a missing or zero byte as the digit 0.
int digitOrZero(Bytes bytes, std::size_t i) {
    const int b = byteAt(bytes, i);
    return b == 0 ? 0 : b - 1;
}

// The integer decoder of the NUMBER(p, s) and plain NUMBER columns: it knows
// a few exponents and lengths, drops any fraction, and gives no text for
// everything else (negative numbers, numbers below 1 or of 10^10 and up).
std::optional<std::int64_t> narrowInteger(Bytes bytes) {
    const std::size_t length = bytes.size();
    const auto d = [&](std::size_t i) { return digit(bytes, i); };
    const auto dz = [&](std::size_t i) { return digitOrZero(bytes, i); };
    switch (byteAt(bytes, 0)) {
        case kHundreds:
            if (length >= 3) return d(1) * 100 + d(2);
            return length == 2 ? d(1) * 100 : 0;
        case kUnits:
            return d(1);
        case kZero:
            return 0;
        case kTenThousands:
            if (length == 2) return dz(1) * 10000;
            if (length == 3) return dz(1) * 10000 + dz(2) * 100;
            if (length == 4) {
                if (bytes[1] == 0 || bytes[2] == 0 || bytes[3] == 0)
                    return bytes[1] * 10000 + bytes[2] * 100 + bytes[3];
                return d(1) * 10000 + d(2) * 100 + d(3);
            }
            return std::nullopt;
        case kMillions:
            return dz(1) * 1000000 + dz(2) * 10000 + dz(3) * 100 + dz(4);
        case kHundredMillions:
            if (length != 6 && length != 2) return std::nullopt;
            return std::int64_t{dz(1)} * 100000000 + std::int64_t{dz(2)} * 1000000 + dz(3) * 10000 + dz(4) * 100 +
                   dz(5);
        default:
            return std::nullopt;
    }
}

char* narrowIntegerText(Bytes bytes, char* at) {
    const std::optional<std::int64_t> value = narrowInteger(bytes);
    return value ? writeInteger(at, *value) : at;
}

// I "." F with F "0" for a zero fraction, else the fraction padded with
// leading zeros to the given width.
char* pointText(char* at, int integerPart, int fraction, std::size_t width) {
    at = writeInteger(at, integerPart);
    *at++ = '.';
    if (fraction != 0) return writeZeroPadded(at, fraction, width);
    *at++ = '0';
    return at;
}

// The decoder of the NUMBER(p) and FLOAT columns: a few exponents and
// lengths, always written with a point; no text for the rest.
char* narrowPointText(Bytes bytes, char* at) {
    const std::size_t length = bytes.size();
    const auto d = [&](std::size_t i) { return digit(bytes, i); };
    const std::uint8_t exponent = static_cast<std::uint8_t>(byteAt(bytes, 0));
    if (exponent == kHundreds && length == 5) return pointText(at, d(1) * 100 + d(2), d(3) * 100 + d(4), 4);
    if (exponent == kHundreds && length == 4) return pointText(at, d(1) * 100 + d(2), d(3) * 100, 4);
    if (exponent == kHundreds && length == 3) return pointText(at, d(1) * 100 + d(2), 0, 0);
    if (exponent == kHundreds && length == 2) return pointText(at, d(1) * 100, 0, 0);
    if (exponent == kTenThousands && length == 4) return pointText(at, d(1) * 10000 + d(2) * 100 + d(3), 0, 0);
    if (exponent == kTenThousands && length == 3) return pointText(at, d(1) * 10000 + d(2) * 100, 0, 0);
    if (exponent == kTenThousands && length == 2) return pointText(at, d(1) * 10000, 0, 0);
    if (exponent == kUnits && length == 4) return pointText(at, d(1), d(2) * 100 + d(3), 4);
    if (exponent == kHundredths && length == 3) return pointText(at, 0, d(1) * 100 + d(2), 4);
    if (exponent == kUnits) return pointText(at, d(1), digitOrZero(bytes, 2), 2);
    if (exponent == kHundredths) return pointText(at, 0, digitOrZero(bytes, 1), 2);
    if (exponent == kZero) *at++ = '0';
    return at;
}

// Room for any number text: the exact value or a narrow decoder's text.
constexpr std::size_t numberTextRoom(std::size_t size) { return std::max(exactNumberRoom(size), kShortTextRoom); }

// Whether narrowPointText reads every digit the bytes store: the exponents
// and lengths it spells in full. For a valid NUMBER among them (positive by
// its exponent) its text has the exact value, in the spelling it keeps.
bool narrowPointReadsEveryDigit(Bytes bytes) {
    const std::size_t length = bytes.size();
    switch (byteAt(bytes, 0)) {
        case kHundredths:
            return length == 2 || length == 3;
        case kUnits:
        case kTenThousands:
            return length >= 2 && length <= 4;
        case kHundreds:
            return length >= 2 && length <= 5;
        default:
            return false;
    }
}

}  // namespace

// NUMBER(p) and FLOAT, into numberTextRoom. A number is written with its
// exact stored value. The narrow decoder's text keeps its own spelling
// ("12.0", "5.50") where it agrees with it, and stands alone where the bytes
// are no valid NUMBER; where it is known to agree, the exact value is not
// worked out at all.
char* writePointNumber(Bytes bytes, char* at) {
    if (narrowPointReadsEveryDigit(bytes) && unpackNumber(bytes)) return narrowPointText(bytes, at);
    std::array<char, kShortTextRoom> narrow;
    const std::string_view narrowText(narrow.data(),
                                      static_cast<std::size_t>(narrowPointText(bytes, narrow.data()) - narrow.data()));
    char* const end = writeExactNumber(bytes, at);
    if (end && !spellsTheSameNumber(narrowText, std::string_view(at, static_cast<std::size_t>(end - at)))) return end;
    return std::copy(narrowText.begin(), narrowText.end(), at);
}

// The integer decoder's text is a plain integer, which spells the exact value
// only by being it: the exact value stands whenever the bytes hold one, and
// the narrow text is worked out only for bytes that hold none.
char* writeIntegerNumber(Bytes bytes, char* at) {
    if (char* const end = writeExactNumber(bytes, at)) return end;
    return narrowIntegerText(bytes, at);
}

namespace {

template <char* (*writeNumber)(Bytes, char*)>
ValueKind numberValue(Bytes bytes, std::string& text) {
    appendNumberText(text, numberTextRoom(bytes.size()), [&](char* at) { return writeNumber(bytes, at); });
    return ValueKind::Number;
}

// The room the header promises holds every number text, whatever its length.
static_assert([] {
    for (std::size_t size = 0; size <= 0xFFFF; ++size)
        if (commonValueTextRoom(size) < numberTextRoom(size)) return false;
    return true;
}());

}  // namespace

namespace value_format_parts {

ValueKind integerNumberValue(Bytes bytes, std::string& text) { return numberValue<writeIntegerNumber>(bytes, text); }

ValueKind pointNumberValue(Bytes bytes, std::string& text) { return numberValue<writePointNumber>(bytes, text); }

// NUMBER(*, s) has no narrow decoder: its exact value, or NULL.
ValueKind scaleOnlyNumberValue(Bytes bytes, std::string& text) {
    if (appendExactNumber(text, bytes)) return ValueKind::Number;
    assignText(text, kNullText);
    return ValueKind::NoDecoder;
}

}  // namespace value_format_parts

std::optional<DecimalParts> splitDecimal(std::string_view text) {
    DecimalParts parts;
    parts.negative = text.starts_with('-');
    if (parts.negative || text.starts_with('+')) text.remove_prefix(1);
    const std::size_t point = text.find('.');
    parts.integerDigits = text.substr(0, point);
    if (point != std::string_view::npos) parts.fractionDigits = text.substr(point + 1);
    const auto allDigits = [](std::string_view digits) {
        return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (parts.integerDigits.empty() && parts.fractionDigits.empty()) return std::nullopt;
    if (!allDigits(parts.integerDigits) || !allDigits(parts.fractionDigits)) return std::nullopt;
    return parts;
}

std::optional<std::string> decodeNumber(Bytes bytes) {
    std::string text;
    if (!appendExactNumber(text, bytes)) return std::nullopt;
    return text;
}

}  // namespace restorix
