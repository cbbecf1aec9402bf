#include "tabledata/column_types.h"

#include <array>

namespace restorix {
namespace {

using namespace type_code;

constexpr std::array<ColumnType, 23> kColumnTypes = {{
    {kVarchar2, ValueDecoder::Varchar2, " Varchar2", TypeForm::Sized},
    {kNumberWithScaleOnly, ValueDecoder::ExactNumber, " Number", TypeForm::NumberStar},
    {kNumberInteger, ValueDecoder::IntegerNumber, " Number", TypeForm::Plain},
    {kNumberScaled, ValueDecoder::IntegerNumber, " Number", TypeForm::NumberScaled},
    {kNumberPrecision, ValueDecoder::PointNumber, " Float", TypeForm::Sized},
    {kLong, ValueDecoder::Varchar2, " Long", TypeForm::Plain},
    {kDate, ValueDecoder::Date, " Date", TypeForm::Plain},
    {kRaw, ValueDecoder::Raw, " Raw", TypeForm::Sized},
    {kLongRaw, ValueDecoder::Raw, " Long Raw", TypeForm::Plain},  // LONG RAW takes no length
    {kRowid, ValueDecoder::None, " Rowid", TypeForm::Plain},
    {kBinaryFloat, ValueDecoder::BinaryFloat, " Binary_Float", TypeForm::Plain},
    {kBinaryDouble, ValueDecoder::BinaryDouble, " Binary_Double", TypeForm::Plain},
    {kChar, ValueDecoder::Char, " Char", TypeForm::Sized},
    {kClob, ValueDecoder::Lob, " Clob", TypeForm::Plain},
    {kBlob, ValueDecoder::Lob, " Blob", TypeForm::Plain},
    {kTimestamp, ValueDecoder::Timestamp, " Timestamp", TypeForm::Sized},
    {kTimestampLocal, ValueDecoder::Timestamp, " Timestamp", TypeForm::Sized, " With Local Time Zone"},
    {kTimestampZone, ValueDecoder::TimestampZone, " Timestamp", TypeForm::Sized, " With Time Zone"},
    {kIntervalYearMonth, ValueDecoder::IntervalYearMonth, " Interval Year", TypeForm::Sized, " To Month"},
    {kIntervalDaySecond, ValueDecoder::IntervalDaySecond, " Interval Day", TypeForm::IntervalDay, " To Second"},
    {kNationalChar, ValueDecoder::NationalChar, " Nchar", TypeForm::NationalSized},
    {kNationalVarchar2, ValueDecoder::NationalVarchar2, " Nvarchar2", TypeForm::NationalSized},
    {0, ValueDecoder::None, "", TypeForm::Fallback, ""},
}};

// Rows by type code, built once from the table above.
constexpr std::array<std::uint8_t, 256> kRowOfCode = [] {
    std::array<std::uint8_t, 256> rows{};
    rows.fill(static_cast<std::uint8_t>(kColumnTypes.size() - 1));
    for (std::size_t i = 0; i + 1 < kColumnTypes.size(); ++i) rows[kColumnTypes[i].typeCode] = static_cast<std::uint8_t>(i);
    return rows;
}();

}  // namespace

constexpr std::array<ValueDecoder, 256> kDecoderOfCode = [] {
    std::array<ValueDecoder, 256> decoders{};
    for (std::size_t code = 0; code < decoders.size(); ++code) decoders[code] = kColumnTypes[kRowOfCode[code]].decoder;
    return decoders;
}();

const ColumnType& columnType(int typeCode) {
    if (typeCode < 0 || typeCode >= static_cast<int>(kRowOfCode.size())) return kColumnTypes.back();
    return kColumnTypes[kRowOfCode[static_cast<std::size_t>(typeCode)]];
}

std::span<const ColumnType> columnTypes() { return kColumnTypes; }

}  // namespace restorix
