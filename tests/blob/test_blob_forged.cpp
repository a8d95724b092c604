// Forged cache files: the compiled sample printer's block with one field changed as no
// compiler writes it, sealed with a trailer computed afresh (so the checksum holds, as a
// forger would leave it), must be refused by the cache file's check. Each row of the table
// names the change; the first rows are the faults a forged cache file once made the driver
// report (a printable area larger than its page, a paper shorter than its printable area,
// landscape extents taken for portrait ones, a paper item without papers). Beside them:
// the untouched compiled block, the blocks every description fixture compiles to and the
// recorded cache files are accepted, and the compiler leaves out what the check refuses.
#include <string.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "blob/desc_cache.h"
#include "blob_support.h"
#include "desc/desc_limits.h"
#include "items/item_store.h"
#include "tables/item_ids.h"

namespace {

namespace fs = std::filesystem;
using Block = std::vector<BYTE>;

std::string ReadFile(const std::string &path)
{
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

Block Compile(const std::string &text)
{
  DESC_PARSE_STATE *state = ParseText(text);
  if (state == nullptr) return {};
  Block block = StoreState(state);
  DescParseStateFree(state);
  return block;
}

const Block &Sample()
{
  static const Block sample = Compile(ReadFile(std::string(KV_SAMPLE_DIR) + "/KVSAMPLE.KVD"));
  return sample;
}

// The cache file's verdict on a block sealed with a fresh trailer.
bool Accepted(const Block &v, DESC_VALIDATE_RESULT *why)
{
  Block image = v;
  image.resize(v.size() + DESC_CACHE_TRAILER_SIZE);
  DescMakeCacheTrailer(v.data(), image.data() + v.size());
  DWORD size = 0;
  return DescCheckCacheImage(image.data(), (DWORD)image.size(), &size, why) != FALSE;
}

// Stored-form navigation.
DWORD Ld(const Block &v, DWORD at) { return DescLd32(v.data(), at); }
WORD Ld16(const Block &v, DWORD at) { return DescLd16(v.data(), at); }
void St(Block &v, DWORD at, DWORD value) { DescSt32(v.data(), at, value); }
void St16(Block &v, DWORD at, WORD value) { DescSt16(v.data(), at, value); }

WORD Value(const char *name)
{
  const VALUE_SYMBOL *vs = ItemFindValueSymbolByName(name);
  EXPECT_NE(nullptr, vs) << name;
  return vs != nullptr ? vs->valueId : 0;
}
const SYMBOL_ENTRY *Symbol(const char *name)
{
  const SYMBOL_ENTRY *sym = ItemFindSymbolByName(name);
  EXPECT_NE(nullptr, sym) << name;
  return sym;
}

DWORD SlotNode(const Block &v, WORD itemId) { return Ld(v, DescSlotOffset(itemId)); }
DWORD Node(const Block &v, const char *name, WORD variant = 0)
{
  WORD key = Symbol(name)->key;
  for (DWORD n = Ld(v, offsetof(DESC_HEADER, items)); n != 0; n = Ld(v, n)) {
    if (Ld16(v, n + offsetof(DESC_ITEM_NODE, key)) == key && Ld16(v, n + offsetof(DESC_ITEM_NODE, variant)) == variant)
      return n;
  }
  ADD_FAILURE() << "no node " << name << " " << variant;
  return 0;
}
DWORD Data(const Block &v, DWORD node) { return Ld(v, node + offsetof(DESC_ITEM_NODE, values)); }
DWORD Paper(const Block &v, const char *name)
{
  WORD id = Value(name);
  for (DWORD p = Data(v, SlotNode(v, ITEM_dmPaperSize)); p != 0; p = Ld(v, p))
    if (Ld16(v, p + offsetof(DESC_VALUE_NODE, valueId)) == id) return p;
  ADD_FAILURE() << "no paper " << name;
  return 0;
}
// The first printable-area entry of a paper at a resolution and orientation, with or
// without a condition.
DWORD Area(const Block &v, const char *paper, WORD dpi, const char *orientation, bool conditioned = false)
{
  WORD o = Value(orientation);
  for (DWORD g = Ld(v, Paper(v, paper) + offsetof(DESC_PAGE_VALUE_NODE, geometry)); g != 0; g = Ld(v, g)) {
    if (Ld16(v, g + offsetof(DESC_PAPER_GEOMETRY, resolution)) == dpi &&
        Ld16(v, g + offsetof(DESC_PAPER_GEOMETRY, orientation)) == o &&
        (Ld16(v, g + offsetof(DESC_PAPER_GEOMETRY, condKey)) != 0) == conditioned)
      return g;
  }
  ADD_FAILURE() << "no area " << paper << " " << dpi << " " << orientation;
  return 0;
}
DWORD Untag(DWORD tagged) { return tagged >> 4; }
// Rule blocks, contiguous from the header's link.
std::vector<DWORD> RuleBlocks(const Block &v)
{
  std::vector<DWORD> out;
  for (DWORD b = Ld(v, offsetof(DESC_HEADER, rules)); b != 0; b = Ld(v, b)) out.push_back(b);
  return out;
}
// The first entry of a rule block list field that has at least `entries` entries.
DWORD EntryWith(const Block &v, size_t field, int entries)
{
  for (DWORD b : RuleBlocks(v)) {
    DWORD first = Untag(Ld(v, b + (DWORD)field));
    int n = 0;
    for (DWORD e = first; e != 0; e = Untag(Ld(v, e))) ++n;
    if (first != 0 && n >= entries) return first;
  }
  ADD_FAILURE() << "no rule list of " << entries << " entries";
  return 0;
}
DWORD FirstAction(const Block &v)
{
  for (DWORD b : RuleBlocks(v))
    for (size_t f : {offsetof(DESC_RULE_BLOCK, transactions1), offsetof(DESC_RULE_BLOCK, transactions2)})
      for (DWORD t = Untag(Ld(v, b + (DWORD)f)); t != 0; t = Untag(Ld(v, t)))
        if (Ld(v, t + offsetof(DESC_TRANSACTION, actions)) != 0)
          return Untag(Ld(v, t + offsetof(DESC_TRANSACTION, actions)));
  ADD_FAILURE() << "no action";
  return 0;
}
// The first top-level statement of a kind in the command groups.
DWORD Statement(const Block &v, WORD kind)
{
  for (DWORD g = 0; g < DESC_GROUP_COUNT; ++g) {
    DWORD block = Ld(v, offsetof(DESC_HEADER, groups) + 4 * g);
    for (DWORD s = block != 0 ? Ld(v, block + offsetof(DESC_COMMAND_BLOCK, thenList)) : 0; s != 0; s = Ld(v, s))
      if (Ld16(v, s + offsetof(DESC_STATEMENT, kind)) == kind &&
          (kind != DESC_STMT_STRING || Ld(v, s + offsetof(DESC_STATEMENT_STRING, text)) != 0))
        return s;
  }
  ADD_FAILURE() << "no statement of kind " << kind;
  return 0;
}

struct Forgery {
  const char *name;
  std::function<void(Block &)> apply;
};

const Forgery kForgeries[] = {
    // What forged cache files once made the driver report.
    {"printable width of 8,388,707 dots on an A4 page",
     [](Block &v) {
       St(v, Area(v, "IDS_PAPERSIZE_A4", 600, "IDS_ORIENTATION_PORTRAIT") + offsetof(DESC_PAPER_GEOMETRY, w), 8388707);
     }},
    {"B4 as 2570 x 1592 (shorter than its printable area)",
     [](Block &v) { St(v, Paper(v, "IDS_PAPERSIZE_B4") + offsetof(DESC_PAGE_VALUE_NODE, length), 1592); }},
    {"printable length with a high bit flipped",
     [](Block &v) {
       DWORD at = Area(v, "IDS_PAPERSIZE_A4", 1200, "IDS_ORIENTATION_PORTRAIT") + offsetof(DESC_PAPER_GEOMETRY, h);
       St(v, at, Ld(v, at) ^ 0x00580000u);
     }},
    {"portrait area taken for the landscape one",
     [](Block &v) {
       St16(v,
            Area(v, "IDS_PAPERSIZE_A4", 600, "IDS_ORIENTATION_PORTRAIT") + offsetof(DESC_PAPER_GEOMETRY, orientation),
            Value("IDS_ORIENTATION_LANDSCAPE"));
     }},
    {"paper item turned PickOne (its papers read as plain values)",
     [](Block &v) { St16(v, SlotNode(v, ITEM_dmPaperSize) + offsetof(DESC_ITEM_NODE, type), DESC_TYPE_PICK_ONE); }},
    // Paper sizes and printable areas.
    {"width and length of a printable area swapped",
     [](Block &v) {
       DWORD g = Area(v, "IDS_PAPERSIZE_A4", 600, "IDS_ORIENTATION_PORTRAIT");
       DWORD w = Ld(v, g + offsetof(DESC_PAPER_GEOMETRY, w));
       St(v, g + offsetof(DESC_PAPER_GEOMETRY, w), Ld(v, g + offsetof(DESC_PAPER_GEOMETRY, h)));
       St(v, g + offsetof(DESC_PAPER_GEOMETRY, h), w);
     }},
    {"offset that puts the printable area past the paper's edge",
     [](Block &v) {
       St(v, Area(v, "IDS_PAPERSIZE_A4", 600, "IDS_ORIENTATION_PORTRAIT") + offsetof(DESC_PAPER_GEOMETRY, a), 500);
     }},
    {"negative printable-area origin",
     [](Block &v) {
       St(v, Area(v, "IDS_PAPERSIZE_A4", 600, "IDS_ORIENTATION_PORTRAIT") + offsetof(DESC_PAPER_GEOMETRY, x),
          (DWORD)-1);
     }},
    {"negative paper width",
     [](Block &v) { St(v, Paper(v, "IDS_PAPERSIZE_A4") + offsetof(DESC_PAGE_VALUE_NODE, width), (DWORD)-2100); }},
    {"paper 40 m long",
     [](Block &v) { St(v, Paper(v, "IDS_PAPERSIZE_A3") + offsetof(DESC_PAGE_VALUE_NODE, length), 400000); }},
    {"printable area at resolution 0",
     [](Block &v) {
       St16(v, Area(v, "IDS_PAPERSIZE_A4", 600, "IDS_ORIENTATION_PORTRAIT") + offsetof(DESC_PAPER_GEOMETRY, resolution),
            0);
     }},
    {"printable area of an orientation that is a paper size",
     [](Block &v) {
       St16(v,
            Area(v, "IDS_PAPERSIZE_A4", 600, "IDS_ORIENTATION_PORTRAIT") + offsetof(DESC_PAPER_GEOMETRY, orientation),
            Value("IDS_PAPERSIZE_A4"));
     }},
    {"printable-area condition on a key the names table lacks",
     [](Block &v) {
       St16(v,
            Area(v, "IDS_PAPERSIZE_A4", 600, "IDS_ORIENTATION_PORTRAIT", true) + offsetof(DESC_PAPER_GEOMETRY, condKey),
            0xFFF0);
     }},
    {"condition value on a printable area without a condition",
     [](Block &v) {
       St16(v, Area(v, "IDS_PAPERSIZE_A4", 600, "IDS_ORIENTATION_PORTRAIT") + offsetof(DESC_PAPER_GEOMETRY, condValue),
            5);
     }},
    // Item nodes.
    {"type word no OpenUI line gives",
     [](Block &v) { St16(v, SlotNode(v, ITEM_dmPaperSize) + offsetof(DESC_ITEM_NODE, type), 0x0141); }},
    {"variant of another type than its base item",
     [](Block &v) {
       St16(v, Node(v, "KPD_IDC_PAPER_CHOICE_PAPERSIZE", 1) + offsetof(DESC_ITEM_NODE, type),
            DESC_TYPE_PICK_PAGE | DESC_TYPE_UNKNOWN);
     }},
    {"Identity item of another type than the item it names",
     [](Block &v) {
       St16(v, Node(v, "KPD_kdmDstResolutionH", Symbol("KPD_kdmDstResolutionW")->key) + offsetof(DESC_ITEM_NODE, type),
            DESC_TYPE_IDENTITY | DESC_TYPE_UNKNOWN | DESC_TYPE_PICK_ONE);
     }},
    {"item ID other than the one its key names",
     [](Block &v) { St16(v, SlotNode(v, ITEM_dmPaperSize) + offsetof(DESC_ITEM_NODE, itemId), ITEM_kdmOutPaperSize); }},
    {"item key the names table lacks",
     [](Block &v) { St16(v, SlotNode(v, ITEM_dmPaperSize) + offsetof(DESC_ITEM_NODE, key), 0xFFFE); }},
    {"default position on a Boolean item",
     [](Block &v) { St16(v, Node(v, "KPD_IDC_PAPER_CHOICE_SORT") + offsetof(DESC_ITEM_NODE, defaultValue), 1); }},
    {"pad field of an item node",
     [](Block &v) { St16(v, SlotNode(v, ITEM_dmPaperSize) + offsetof(DESC_ITEM_NODE, pad), 1); }},
    {"paper item's slot emptied", [](Block &v) { St(v, DescSlotOffset(ITEM_dmPaperSize), 0); }},
    {"paper item's slot holding its variant",
     [](Block &v) { St(v, DescSlotOffset(ITEM_dmPaperSize), Node(v, "KPD_IDC_PAPER_CHOICE_PAPERSIZE", 1)); }},
    {"item list head skipping the first item",
     [](Block &v) { St(v, offsetof(DESC_HEADER, items), Ld(v, Ld(v, offsetof(DESC_HEADER, items)))); }},
    {"item's rule link cleared while its key has a rule block",
     [](Block &v) {
       for (DWORD n = Ld(v, offsetof(DESC_HEADER, items)); n != 0; n = Ld(v, n))
         if (Ld(v, n + offsetof(DESC_ITEM_NODE, rules)) != 0) return St(v, n + offsetof(DESC_ITEM_NODE, rules), 0);
     }},
    // Values.
    {"value ID the names table lacks",
     [](Block &v) { St16(v, Paper(v, "IDS_PAPERSIZE_A4") + offsetof(DESC_VALUE_NODE, valueId), 65000); }},
    {"paper listed twice",
     [](Block &v) {
       St16(v, Paper(v, "IDS_PAPERSIZE_A3") + offsetof(DESC_VALUE_NODE, valueId), Value("IDS_PAPERSIZE_A4"));
     }},
    {"pad field of a value node",
     [](Block &v) { St16(v, Paper(v, "IDS_PAPERSIZE_A4") + offsetof(DESC_VALUE_NODE, pad), 7); }},
    {"paper left out of its list",
     [](Block &v) {
       DWORD a4 = Paper(v, "IDS_PAPERSIZE_A4");
       St(v, a4, Ld(v, Ld(v, a4)));
     }},
    {"command texts of two papers swapped",
     [](Block &v) {
       DWORD a = Paper(v, "IDS_PAPERSIZE_A4") + offsetof(DESC_VALUE_NODE, command);
       DWORD b = Paper(v, "IDS_PAPERSIZE_A3") + offsetof(DESC_VALUE_NODE, command);
       DWORD t = Ld(v, a);
       St(v, a, Ld(v, b));
       St(v, b, t);
     }},
    {"command text cut short by a NUL (its last bytes reached by nothing)",
     [](Block &v) { v[Ld(v, Paper(v, "IDS_PAPERSIZE_LETTER") + offsetof(DESC_VALUE_NODE, command)) + 2] = 0; }},
    {"tray paper the names table lacks",
     [](Block &v) {
       for (DWORD t = Data(v, Node(v, "KPD_IDC_SETUP_CHOICE_SOURCETRAY")); t != 0; t = Ld(v, t))
         if (Ld(v, t + offsetof(DESC_SLOT_VALUE_NODE, count)) != 0)
           return St16(v, Ld(v, t + offsetof(DESC_SLOT_VALUE_NODE, papers)), 0xFFF0);
     }},
    {"String record of a character set no StringValue line gives",
     [](Block &v) { St16(v, Data(v, Node(v, "KPD_kdmUserCode")) + offsetof(DESC_STRING_VALUE, charSet), 3); }},
    // Rule data.
    {"section entries not side by side",
     [](Block &v) {
       DWORD e = EntryWith(v, offsetof(DESC_RULE_BLOCK, valueRules), 3);
       St(v, e, Ld(v, Untag(Ld(v, e))));  // skips the second entry
     }},
    {"action of a third kind", [](Block &v) { St16(v, FirstAction(v) + offsetof(DESC_ACTION, kind), 2); }},
    {"action on an item no name stands for",
     [](Block &v) { St16(v, FirstAction(v) + offsetof(DESC_ACTION, target), 0xFFF0); }},
    {"alert icon no Alert line gives",
     [](Block &v) { St16(v, EntryWith(v, offsetof(DESC_RULE_BLOCK, alerts), 1) + offsetof(DESC_ALERT, icon), 0x50); }},
    {"pad field of a rule block", [](Block &v) { St16(v, RuleBlocks(v)[0] + offsetof(DESC_RULE_BLOCK, pad), 1); }},
    // The tail.
    {"StringType text with a NUL inside its length",
     [](Block &v) { v[Ld(v, Statement(v, DESC_STMT_STRING) + offsetof(DESC_STATEMENT_STRING, text)) + 1] = 0; }},
    {"GroupType of a key the names table lacks",
     [](Block &v) { St16(v, Statement(v, DESC_STMT_GROUP) + offsetof(DESC_STATEMENT, key), 0xFFF0); }},
    {"negative device font ID",
     [](Block &v) {
       St(v, Ld(v, Ld(v, offsetof(DESC_HEADER, deviceFonts))) + offsetof(DESC_FONT_ID, fontId), 0x80000001u);
     }},
    {"device font entries out of their stored order",
     [](Block &v) {
       DWORD array = Ld(v, offsetof(DESC_HEADER, deviceFonts));
       DWORD first = Ld(v, array);
       St(v, array, Ld(v, array + 4));
       St(v, array + 4, first);
     }},
    {"JobStart and DocReset command groups swapped",
     [](Block &v) {
       DWORD jobStart = offsetof(DESC_HEADER, groups) + 4 * DESC_GROUP_JOB_START;
       DWORD docReset = offsetof(DESC_HEADER, groups) + 4 * DESC_GROUP_DOC_RESET;
       DWORD t = Ld(v, jobStart);
       St(v, jobStart, Ld(v, docReset));
       St(v, docReset, t);
     }},
    {"FileVersion field with bytes after its text", [](Block &v) { St16(v, 30, 'x'); }},
};

TEST(BlobForged, EveryForgeryIsRefused)
{
  const Block &sample = Sample();
  ASSERT_FALSE(sample.empty());
  for (const Forgery &f : kForgeries) {
    SCOPED_TRACE(f.name);
    Block v = sample;
    f.apply(v);
    ASSERT_NE(sample, v) << "the forgery changed nothing";
    DESC_VALIDATE_RESULT why;
    memset(&why, 0x5A, sizeof why);
    EXPECT_FALSE(Accepted(v, &why));
    EXPECT_NE(0, why.reason[0]);
    EXPECT_NE(nullptr, memchr(why.reason, 0, sizeof why.reason));
  }
}

// What the compiler writes passes: the sample, every description of the test fixtures and
// of the fuzz corpus, and the recorded cache files of the verdict corpus.
TEST(BlobForged, CompiledBlocksAndRecordedCacheFilesAreAccepted)
{
  DESC_VALIDATE_RESULT why;
  EXPECT_TRUE(Accepted(Sample(), &why)) << why.offset << ": " << why.reason;
  std::vector<fs::path> texts;
  for (const char *dir : {KV_DESC_FIXTURES "/..", KV_FUZZ_DESC_CORPUS}) {
    for (const auto &e : fs::recursive_directory_iterator(dir)) {
      std::string ext = e.path().extension().string();
      if (e.is_regular_file() && (ext == ".kvd" || ext == ".KVD")) texts.push_back(e.path());
    }
  }
  EXPECT_GT(texts.size(), 5u);
  for (const fs::path &p : texts) {
    SCOPED_TRACE(p.string());
    Block block = Compile(ReadFile(p.string()));
    if (block.empty()) continue;  // a text that does not compile (a grammar fault fixture)
    EXPECT_TRUE(Accepted(block, &why)) << why.offset << ": " << why.reason;
  }
  for (const char *name : {"sample.bcs", "bench_model.bcs"}) {
    SCOPED_TRACE(name);
    std::string file = ReadFile(std::string(KV_BLOB_FIXTURES) + "/verdicts/" + name);
    ASSERT_GT(file.size(), (size_t)DESC_HEADER_SIZE);
    DWORD size = 0;
    EXPECT_TRUE(DescCheckCacheImage((const BYTE *)file.data(), (DWORD)file.size(), &size, &why))
        << why.offset << ": " << why.reason;
  }
}

// The compiler leaves out the printable areas and paper sizes the check refuses, each with
// a message, and keeps the rest of the paper: a block with what is left is accepted.
TEST(BlobForged, CompilerLeavesOutWhatTheCheckRefuses)
{
  const std::string text =
      "*FileVersion: 1.41\n"
      "*OpenUI *KPD_IDC_PAPER_CHOICE_PAPERSIZE: PickPage\n"
      "*KPD_IDC_PAPER_CHOICE_PAPERSIZE: IDList { IDS_PAPERSIZE_A4 IDS_PAPERSIZE_A3 IDS_PAPERSIZE_A5 }\n"
      // Read before the size that decides it: checked when the file ends.
      "*PageValue a IDS_PAPERSIZE_A4: 600 IDS_ORIENTATION_PORTRAIT \"94 99 4773 6818 94 99\"\n"
      "*PageValue a IDS_PAPERSIZE_A4: 600 IDS_ORIENTATION_LANDSCAPE \"94 99 4773 6818 94 99\"\n"
      "*PageMMValue a IDS_PAPERSIZE_A4: \"2100 2970\"\n"
      "*PageValue a IDS_PAPERSIZE_A4: 1200 IDS_ORIENTATION_PORTRAIT \"-1 0 100 100 0 0\"\n"
      "*PageValue a IDS_PAPERSIZE_A4: 1200 IDS_COLOR_COLOR \"1 1 100 100 1 1\"\n"
      "*PageValue a IDS_PAPERSIZE_A4: 1200 IDS_ORIENTATION_PORTRAIT \"0 0 9923 100 0 0\"\n"
      "*PageValue a IDS_PAPERSIZE_A4: 1200 IDS_ORIENTATION_PORTRAIT \"0 0 9922 14032 0 0\"\n"
      "*PageMMValue a IDS_PAPERSIZE_A3: \"2970 42000\"\n"
      "*PageMMValue a IDS_PAPERSIZE_A5: \"1480 2100\"\n"
      "*PageMMValue a IDS_PAPERSIZE_A5: \"-1480 2100\"\n"
      "*PageValue a IDS_PAPERSIZE_A3: 600 IDS_ORIENTATION_PORTRAIT \"1 1 1 1 1 1\"\n"
      "*CloseUI\n";
  DESC_PARSE_STATE *state = ParseText(text);
  ASSERT_NE(nullptr, state);
  const DESC_ITEM_NODE *paper = state->header->slotsLow[ITEM_dmPaperSize - 1];
  ASSERT_NE(nullptr, paper);
  auto *a4 = static_cast<const DESC_PAGE_VALUE_NODE *>(paper->values);
  auto *a3 = reinterpret_cast<const DESC_PAGE_VALUE_NODE *>(a4->base.next);
  auto *a5 = reinterpret_cast<const DESC_PAGE_VALUE_NODE *>(a3->base.next);
  // A4 keeps its portrait area and the one that reaches its last dot at 1200 dpi.
  std::vector<std::vector<LONG>> kept;
  for (const DESC_PAPER_GEOMETRY *g = a4->geometry; g != nullptr; g = g->next)
    kept.push_back({g->resolution, g->x, g->y, g->w, g->h});
  EXPECT_EQ((std::vector<std::vector<LONG>>{{600, 94, 99, 4773, 6818}, {1200, 0, 0, 9922, 14032}}), kept);
  // A3's size line and A5's second one are dropped whole; A3 keeps no size and so no area.
  EXPECT_EQ(0, a3->width);
  EXPECT_EQ(0, a3->length);
  EXPECT_EQ(nullptr, a3->geometry);
  EXPECT_EQ(1480, a5->width);
  EXPECT_EQ(2100, a5->length);
  Block block = StoreState(state);
  DescParseStateFree(state);
  DESC_VALIDATE_RESULT why;
  EXPECT_TRUE(Accepted(block, &why)) << why.offset << ": " << why.reason;
}

}  // namespace
