#include "tabledata/value_format.h"

// The dispatch from a column's type to the file of its family of types:
// value_format_number.cpp, value_format_binary_float.cpp,
// value_format_date.cpp, value_format_text.cpp and value_format_raw.cpp.

#include <array>
#include <cstring>

#include "tabledata/column_types.h"
#include "tabledata/value_format_parts.h"

namespace restorix {

namespace value_format_parts {

// writeZeroPadded for any value and width.
char* writeAnyZeroPadded(char* at, std::int64_t value, std::size_t width) {
    std::array<char, kMaxIntegerLength> digits{};
    const auto length = static_cast<std::size_t>(writeInteger(digits.data(), value) - digits.data());
    if (length < width) {
        std::memset(at, '0', width - length);
        at += width - length;
    }
    std::memcpy(at, digits.data(), length);
    return at + length;
}

}  // namespace value_format_parts

using namespace value_format_parts;

ValueKind formatColumnValueInto(ColumnKind columnKind, Bytes bytes, std::string& text, TextBytes spelling,
                                NationalCharset national) {
    text.clear();
    switch (valueDecoder(columnKind)) {
        case ValueDecoder::IntegerNumber:
            return integerNumberValue(bytes, text);
        case ValueDecoder::PointNumber:
            return pointNumberValue(bytes, text);
        case ValueDecoder::ExactNumber:
            return scaleOnlyNumberValue(bytes, text);
        case ValueDecoder::Date:
            return dateValue(bytes, false, text);
        case ValueDecoder::Timestamp:
            return dateValue(bytes, true, text);
        case ValueDecoder::Char:
            return charValue(bytes, spelling, text);
        case ValueDecoder::Varchar2:
            return varchar2Value(bytes, spelling, text);
        case ValueDecoder::Raw:
            return rawValue(bytes, text);
        case ValueDecoder::BinaryFloat:
            return binaryFloatValue(bytes, text);
        case ValueDecoder::BinaryDouble:
            return binaryDoubleValue(bytes, text);
        case ValueDecoder::TimestampZone:
            return timestampZoneValue(bytes, text);
        case ValueDecoder::IntervalYearMonth:
            return intervalYearMonthValue(bytes, text);
        case ValueDecoder::IntervalDaySecond:
            return intervalDaySecondValue(bytes, text);
        case ValueDecoder::NationalChar:
        case ValueDecoder::NationalVarchar2:
            return nationalValue(bytes, national, text);
        case ValueDecoder::Lob:
            text.push_back(' ');
            return ValueKind::Lob;
        case ValueDecoder::None:
            break;
    }
    assignText(text, kNullText);
    return ValueKind::NoDecoder;
}

FormattedValue formatColumnValue(ColumnKind columnKind, Bytes bytes, NationalCharset national) {
    FormattedValue value;
    value.kind = formatColumnValueInto(columnKind, bytes, value.text, TextBytes::Utf8, national);
    return value;
}

}  // namespace restorix
