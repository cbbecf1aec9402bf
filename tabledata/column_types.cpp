#include "tabledata/column_types.h"

namespace restorix {
namespace {

// NUMBER without a precision and a scale of zero or none; with a precision
// and a scale; with a precision alone (FLOAT); a scale alone.
ColumnKind numberKind(const ColumnEntry& column) {
    if (declaresFloat(column)) return ColumnKind::Float;
    if (column.precision) return ColumnKind::NumberScaled;
    if (!column.scale || *column.scale == 0) return ColumnKind::NumberInteger;
    return ColumnKind::NumberStar;
}

bool isNational(const ColumnEntry& column) { return column.charsetForm == kNationalCharsetForm; }

}  // namespace

ColumnKind columnKind(const ColumnEntry& column) {
    switch (column.oracleType) {
        case oracle_type::kVarchar2: return isNational(column) ? ColumnKind::NationalVarchar2 : ColumnKind::Varchar2;
        case oracle_type::kNumber: return numberKind(column);
        case oracle_type::kLong: return ColumnKind::Long;
        case oracle_type::kDate: return ColumnKind::Date;
        case oracle_type::kRaw: return ColumnKind::Raw;
        case oracle_type::kLongRaw: return ColumnKind::LongRaw;
        case oracle_type::kRowid: return ColumnKind::Rowid;
        case oracle_type::kChar: return isNational(column) ? ColumnKind::NationalChar : ColumnKind::Char;
        case oracle_type::kBinaryFloat: return ColumnKind::BinaryFloat;
        case oracle_type::kBinaryDouble: return ColumnKind::BinaryDouble;
        case oracle_type::kClob: return ColumnKind::Clob;
        case oracle_type::kBlob: return ColumnKind::Blob;
        case oracle_type::kTimestamp: return ColumnKind::Timestamp;
        case oracle_type::kTimestampZone: return ColumnKind::TimestampZone;
        case oracle_type::kIntervalYearMonth: return ColumnKind::IntervalYearMonth;
        case oracle_type::kIntervalDaySecond: return ColumnKind::IntervalDaySecond;
        case oracle_type::kTimestampLocal: return ColumnKind::TimestampLocal;
        default: return ColumnKind::Other;
    }
}

using enum ColumnKind;

constexpr std::array<ColumnType, kColumnKindCount> kColumnTypes = {{
    {Varchar2, ValueDecoder::Varchar2, " Varchar2", TypeForm::Sized},
    {NumberStar, ValueDecoder::ExactNumber, " Number", TypeForm::NumberStar},
    {NumberInteger, ValueDecoder::IntegerNumber, " Number", TypeForm::Plain},
    {NumberScaled, ValueDecoder::IntegerNumber, " Number", TypeForm::NumberScaled},
    {Float, ValueDecoder::PointNumber, " Float", TypeForm::Sized},
    {Long, ValueDecoder::Varchar2, " Long", TypeForm::Plain},
    {Date, ValueDecoder::Date, " Date", TypeForm::Plain},
    {Raw, ValueDecoder::Raw, " Raw", TypeForm::Sized},
    {LongRaw, ValueDecoder::Raw, " Long Raw", TypeForm::Plain},  // LONG RAW takes no length
    {Rowid, ValueDecoder::None, " Rowid", TypeForm::Plain},
    {BinaryFloat, ValueDecoder::BinaryFloat, " Binary_Float", TypeForm::Plain},
    {BinaryDouble, ValueDecoder::BinaryDouble, " Binary_Double", TypeForm::Plain},
    {Char, ValueDecoder::Char, " Char", TypeForm::Sized},
    {Clob, ValueDecoder::Lob, " Clob", TypeForm::Plain},
    {Blob, ValueDecoder::Lob, " Blob", TypeForm::Plain},
    {Timestamp, ValueDecoder::Timestamp, " Timestamp", TypeForm::Sized},
    {TimestampLocal, ValueDecoder::Timestamp, " Timestamp", TypeForm::Sized, " With Local Time Zone"},
    {TimestampZone, ValueDecoder::TimestampZone, " Timestamp", TypeForm::Sized, " With Time Zone"},
    {IntervalYearMonth, ValueDecoder::IntervalYearMonth, " Interval Year", TypeForm::Sized, " To Month"},
    {IntervalDaySecond, ValueDecoder::IntervalDaySecond, " Interval Day", TypeForm::IntervalDay, " To Second"},
    {NationalChar, ValueDecoder::NationalChar, " Nchar", TypeForm::NationalSized},
    {NationalVarchar2, ValueDecoder::NationalVarchar2, " Nvarchar2", TypeForm::NationalSized},
    {Other, ValueDecoder::None, "", TypeForm::Fallback, ""},
}};

// Each row sits at its kind's place, so that a kind finds its row by index.
static_assert([] {
    for (std::size_t i = 0; i < kColumnTypes.size(); ++i)
        if (static_cast<std::size_t>(kColumnTypes[i].kind) != i) return false;
    return true;
}());

}  // namespace restorix
