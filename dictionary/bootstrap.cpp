#include "dictionary/bootstrap.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

#include "datafile/block_layout.h"
#include "datafile/row_walk.h"
#include "datafile/segment_blocks.h"
#include "platform/codepage.h"

namespace restorix {

namespace {

using Kind = BootstrapObject::Kind;

struct TextForm {
    std::string_view prefix;
    Kind kind;
};
constexpr std::array<TextForm, 3> kTextForms{{
    {"CREATE TABLE ", Kind::Table},
    {"CREATE CLUSTER ", Kind::Cluster},
    {"CREATE INDEX ", Kind::Index},
}};
constexpr std::string_view kStorage = "STORAGE (";
constexpr std::string_view kObjectNumber = "OBJNO ";
constexpr std::string_view kTableNumber = " TABNO ";
constexpr std::string_view kClusterClause = ") CLUSTER ";
constexpr std::string_view kExtents = " EXTENTS (FILE ";
constexpr std::string_view kBlock = " BLOCK ";
constexpr std::string_view kExtentsEnd = "))";

// BOOTSTRAP$ (LINE#, OBJ#, SQL_TEXT): the text is its third column.
constexpr std::size_t kBootstrapColumns = 3;
constexpr std::size_t kSqlTextColumn = 2;

bool isNameCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' || c == '#';
}

// Reads the text a little at a time, each step checking what comes next.
class TextReader {
public:
    explicit TextReader(std::string_view text) : text_(text) {}

    // The name at the reader, up to the "(" or blank that ends it.
    std::optional<std::string> name() {
        const std::size_t end = std::find_if_not(text_.begin() + at_, text_.end(), isNameCharacter) - text_.begin();
        if (end == at_ || end == text_.size() || (text_[end] != '(' && text_[end] != ' ')) return std::nullopt;
        std::string found(text_.substr(at_, end - at_));
        at_ = end;
        return found;
    }
    // Moves past the next occurrence of `tag`; false when there is none.
    bool skipPast(std::string_view tag) {
        const std::size_t found = text_.find(tag, at_);
        if (found == std::string_view::npos) return false;
        at_ = found + tag.size();
        return true;
    }
    // Moves past `tag` when it stands right at the reader.
    bool expect(std::string_view tag) {
        if (text_.substr(at_, tag.size()) != tag) return false;
        at_ += tag.size();
        return true;
    }
    // The unsigned number at the reader.
    template <typename Number>
    std::optional<Number> number() {
        Number value{};
        const auto [end, error] = std::from_chars(text_.data() + at_, text_.data() + text_.size(), value);
        if (error != std::errc() || end == text_.data() + at_ || value < 0) return std::nullopt;
        at_ = static_cast<std::size_t>(end - text_.data());
        return value;
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

// "OBJNO <n> TABNO <t>) CLUSTER <cluster>(": a table stored in a cluster.
bool readClusterPlace(TextReader& text, BootstrapObject& object) {
    const std::optional<int> tableNumber = text.number<int>();
    if (!tableNumber || !text.expect(kClusterClause)) return false;
    const std::optional<std::string> cluster = text.name();
    if (!cluster) return false;
    object.kind = Kind::ClusteredTable;
    object.tableNumber = *tableNumber;
    object.cluster = *cluster;
    return true;
}

// "OBJNO <n> EXTENTS (FILE <f> BLOCK <b>))": an object with a segment.
bool readSegmentPlace(TextReader& text, BootstrapObject& object) {
    if (!text.expect(kExtents)) return false;
    const std::optional<std::uint32_t> file = text.number<std::uint32_t>();
    if (!file || !text.expect(kBlock)) return false;
    const std::optional<std::uint32_t> block = text.number<std::uint32_t>();
    if (!block || !text.expect(kExtentsEnd)) return false;
    if (*file == 0 || *file > (1u << (32 - kRelativeFileShift)) - 1 || *block > kBlockNumberMask) return false;
    object.headerFile = *file;
    object.headerBlock = *block;
    return true;
}

// "file 1 block 520 (data object 59)"
std::string placeText(std::uint32_t file, std::uint32_t block) {
    return "file " + std::to_string(file) + " block " + std::to_string(block);
}

std::string addressText(std::uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", address);
    return text;
}

void readObjects(const BlockSource& source, const BlockIndex& index, Bootstrap& bootstrap) {
    std::vector<ColumnValue> columns;
    const SegmentBlocks blocks(index, bootstrap.dataObject);
    forEachSegmentBlock(source, blocks, [&](const BlockEntry&, const BlockView& block) {
        RowWalkRules rules;
        rules.dataHeaderOffset = tableDataHeaderOffsetOf(block);
        if (!rules.dataHeaderOffset) return true;
        rules.onlyFlag = kWholeRowFlag;
        for (const RowPiece& piece : rowPieces(block, rules)) {
            if (!readColumns(block, piece.firstColumnOffset(), piece.columnCount, columns)) continue;
            if (columns.size() < kBootstrapColumns || columns[kSqlTextColumn].isNull) continue;
            const std::string text = fromCodePage(columns[kSqlTextColumn].bytes);
            if (std::optional<BootstrapObject> object = parseBootstrapText(text))
                bootstrap.objects.push_back(std::move(*object));
        }
        return true;
    });
}

}  // namespace

std::optional<BootstrapObject> parseBootstrapText(std::string_view text) {
    const auto form = std::find_if(kTextForms.begin(), kTextForms.end(),
                                   [&](const TextForm& f) { return text.starts_with(f.prefix); });
    if (form == kTextForms.end()) return std::nullopt;
    TextReader reader(text.substr(form->prefix.size()));
    BootstrapObject object;
    object.kind = form->kind;
    const std::optional<std::string> name = reader.name();
    if (!name || !reader.skipPast(kStorage) || !reader.skipPast(kObjectNumber)) return std::nullopt;
    object.name = *name;
    const std::optional<DictionaryNumber> objectNumber = reader.number<DictionaryNumber>();
    if (!objectNumber) return std::nullopt;
    object.objectNumber = *objectNumber;
    const bool placed = form->kind == Kind::Table && reader.expect(kTableNumber) ? readClusterPlace(reader, object)
                                                                                 : readSegmentPlace(reader, object);
    if (!placed) return std::nullopt;
    return object;
}

const BootstrapObject* Bootstrap::find(std::string_view name) const {
    const auto found = std::find_if(objects.begin(), objects.end(), [&](const BootstrapObject& o) { return o.name == name; });
    return found == objects.end() ? nullptr : &*found;
}

BootstrapSearch readBootstrap(const BlockSource& source, const BlockIndex& index, std::uint16_t systemFile) {
    const DatafileSet& files = source.files();
    const Datafile& system = files.at(systemFile);
    if (!system.header) return {std::nullopt, "the SYSTEM file has no file header"};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(system.blockSize));
    source.read(systemFile, kFileHeaderBlock, bytes);
    const std::uint32_t root = source.view(systemFile, bytes).u32(kRootAddressOffset).value_or(0);
    if (root == 0) return {std::nullopt, "the file header holds no root address"};
    Bootstrap bootstrap;
    bootstrap.file = root >> kRelativeFileShift;
    bootstrap.block = root & kBlockNumberMask;
    const std::optional<std::uint16_t> file = files.fileAddressed(systemFile, system.header->relativeFileNumber, root);
    if (!file) return {std::nullopt, "the root address " + addressText(root) + " names a file that was not given"};
    // The rows are in the data blocks that follow the segment header in its extent.
    const std::int64_t firstDataBlock = static_cast<std::int64_t>(bootstrap.block) + 1;
    if (firstDataBlock >= files.at(*file).blockCount())
        return {std::nullopt, "the root address " + addressText(root) + " lies outside its file"};
    bytes.resize(static_cast<std::size_t>(files.at(*file).blockSize));
    source.read(*file, firstDataBlock, bytes);
    const BlockView dataBlock = source.view(*file, bytes);
    if (dataBlock.u8(kBlockTypeOffset) != kDataBlockType)
        return {std::nullopt, "the block after " + placeText(bootstrap.file, bootstrap.block) + " is not a data block"};
    bootstrap.dataObject = static_cast<std::int32_t>(*dataBlock.u32(kDataObjectOffset));
    readObjects(source, index, bootstrap);
    if (bootstrap.objects.empty())
        return {std::nullopt, "the rows of data object " + std::to_string(bootstrap.dataObject) + " at " +
                                  placeText(bootstrap.file, bootstrap.block) + " name no dictionary object"};
    return {std::move(bootstrap), {}};
}

}  // namespace restorix
