// Items of the printer description: types, values, defaults, variants, records, paper
// geometry, slot papers, font substitutions, command texts and the header's direct slots.
#include "blob/desc_runtime.h"
#include "grammar_support.h"

namespace {

class ItemsFixture : public ::testing::Test {
 protected:
  void SetUp() override { ParseText(p, FixtureText("items.kvd")); }
  Parsed p;
};

std::string Narrow16(const WCHAR *w)
{
  std::string s;
  for (; w && *w; ++w) s += static_cast<char>(*w);
  return s;
}

TEST_F(ItemsFixture, ParsesEveryLineAndFillsTheHeaderFields)
{
  EXPECT_EQ(0u, p.state->rejectedLines) << p.All();
  EXPECT_EQ("2.10.0001-long", Narrow16(p.header()->fileVersion));
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "FileVersion is longer than 14 characters"));
  EXPECT_EQ("KVRES.DLL", Narrow16(p.header()->uiResDllName));
  EXPECT_EQ("KVEXC.DLL", Narrow16(p.header()->excDepDllName));
  EXPECT_EQ(nullptr, p.state->openName);
}

TEST_F(ItemsFixture, PickPageValuesDefaultsGeometryAndSizes)
{
  auto nodes = NodesOf(p.state, "KPD_IDC_PAPER_CHOICE_PAPERSIZE");
  ASSERT_EQ(1u, nodes.size());
  const DESC_ITEM_NODE *paper = nodes[0];
  EXPECT_EQ(8, paper->itemId);
  EXPECT_EQ(DESC_TYPE_PICK_PAGE, paper->type);
  // The repeated A4 line is ignored: the first command text stays.
  std::vector<std::pair<WORD, std::string>> want = {
      {3001, "@PJL SET PAPER=LETTER\r\n"}, {3009, "@PJL SET PAPER=A4"}, {3008, "@PJL \"A3\""}};
  EXPECT_EQ(want, ValuesOf(paper));
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "listed again"));
  EXPECT_EQ(2, paper->defaultValue);  // A3 is the third value

  auto *a4 = reinterpret_cast<const DESC_PAGE_VALUE_NODE *>(ValueNode(paper, 3009));
  ASSERT_NE(nullptr, a4);
  EXPECT_EQ(2100, a4->width);
  EXPECT_EQ(2970, a4->length);
  const DESC_PAPER_GEOMETRY *g = a4->geometry;
  ASSERT_NE(nullptr, g);
  EXPECT_EQ(600, g->resolution);
  EXPECT_EQ(2042, g->orientation);
  EXPECT_EQ(0, g->condKey);
  EXPECT_EQ((std::vector<LONG>{100, 120, 4760, 6776, 0, 0}), (std::vector<LONG>{g->x, g->y, g->w, g->h, g->a, g->b}));
  g = g->next;
  ASSERT_NE(nullptr, g);
  EXPECT_EQ(300, g->resolution);
  EXPECT_EQ(2043, g->orientation);
  EXPECT_EQ(Key("KPD_RADIOLIST_6"), g->condKey);
  EXPECT_EQ(2019, g->condValue);
  EXPECT_EQ((std::vector<LONG>{5, 7, 0, 0, 0, 0}), (std::vector<LONG>{g->x, g->y, g->w, g->h, g->a, g->b}));
  EXPECT_EQ(nullptr, g->next);

  auto *letter = reinterpret_cast<const DESC_PAGE_VALUE_NODE *>(ValueNode(paper, 3001));
  EXPECT_EQ(2159, letter->width);
  EXPECT_EQ(0, letter->length);
  EXPECT_EQ(paper, p.header()->slotsLow[8 - 1]);
}

TEST_F(ItemsFixture, PickSlotIdListAndSlotPapers)
{
  auto nodes = NodesOf(p.state, "KPD_IDC_SETUP_CHOICE_SOURCETRAY");
  ASSERT_EQ(1u, nodes.size());
  std::vector<std::pair<WORD, std::string>> want = {{4007, "<none>"}, {4001, "@PJL TRAY1"}, {4003, "<none>"}};
  EXPECT_EQ(want, ValuesOf(nodes[0]));
  auto *tray1 = reinterpret_cast<const DESC_SLOT_VALUE_NODE *>(ValueNode(nodes[0], 4001));
  ASSERT_EQ(2u, tray1->count);
  EXPECT_EQ(3009, tray1->papers[0]);
  EXPECT_EQ(3001, tray1->papers[1]);
  auto *tray2 = reinterpret_cast<const DESC_SLOT_VALUE_NODE *>(ValueNode(nodes[0], 4003));
  EXPECT_EQ(0u, tray2->count);
  EXPECT_EQ(nullptr, tray2->papers);
  EXPECT_EQ(0, nodes[0]->defaultValue);
}

TEST_F(ItemsFixture, VariantsShareTheBaseValuesAndKeepTheirOwnDefaultsAndCommands)
{
  auto nodes = NodesOf(p.state, "KPD_RADIOLIST_1");
  ASSERT_EQ(3u, nodes.size());
  const DESC_ITEM_NODE *base = nodes[0], *v2 = nodes[1], *v3 = nodes[2];
  EXPECT_EQ(0, base->variant);
  EXPECT_EQ(2, v2->variant);
  EXPECT_EQ(static_cast<WORD>(-3), v3->variant);
  EXPECT_EQ(1, base->defaultValue);  // landscape
  EXPECT_EQ(0, v2->defaultValue);    // its own Default: portrait
  EXPECT_EQ(1, v3->defaultValue);    // no Default line: the base's position
  EXPECT_EQ(base->values, v2->values);
  EXPECT_EQ(base->values, v3->values);
  ASSERT_NE(nullptr, base->command);
  EXPECT_STREQ("ORIENT-ON", base->command->first);
  EXPECT_STREQ("ORIENT-OFF", base->command->second);
  ASSERT_NE(nullptr, v2->command);
  EXPECT_NE(base->command, v2->command);
  EXPECT_STREQ("VARIANT-ON", v2->command->first);
  EXPECT_EQ(nullptr, v2->command->second);
  EXPECT_EQ(base->command, v3->command);
  // Variants never take a direct slot.
  EXPECT_EQ(base, p.header()->slotsLow[7 - 1]);
}

TEST_F(ItemsFixture, BooleanNumericAndStringRecords)
{
  auto b = NodesOf(p.state, "KPD_kdmUIModeChange");
  ASSERT_EQ(1u, b.size());
  auto *bv = static_cast<const DESC_BOOLEAN_VALUE *>(b[0]->values);
  ASSERT_NE(nullptr, bv);
  EXPECT_EQ(1u, bv->defaultValue);
  EXPECT_STREQ("UI ON", bv->trueText);
  EXPECT_STREQ("UI OFF", bv->falseText);

  auto n = NodesOf(p.state, "KPD_IDC_PAPER_EDIT_COPIES");
  ASSERT_EQ(1u, n.size());
  auto *nv = static_cast<const DESC_NUMERIC_VALUE *>(n[0]->values);
  ASSERT_NE(nullptr, nv);
  EXPECT_EQ(3, nv->lead);
  EXPECT_EQ(1, nv->number1);
  EXPECT_EQ(1u, nv->defaultValue);
  EXPECT_EQ(1u, nv->minimum);
  EXPECT_EQ(999u, nv->maximum);
  EXPECT_EQ(10, nv->divisor);
  EXPECT_EQ(-2, nv->number6);
  EXPECT_EQ(3, nv->number7);
  EXPECT_EQ(4, nv->number8);
  EXPECT_EQ(1u, DescGetBlobItemDefault(12, reinterpret_cast<const DESC_BLOB *>(p.header())));

  auto s = NodesOf(p.state, "KPD_kdmHFFontName");
  ASSERT_EQ(1u, s.size());
  auto *sv = static_cast<const DESC_STRING_VALUE *>(s[0]->values);
  ASSERT_NE(nullptr, sv);
  EXPECT_EQ(31, sv->maxLength);
  EXPECT_EQ(2, sv->charSet);
  EXPECT_EQ(0x100, sv->display);
  EXPECT_EQ(2019, sv->defaultValue);
}

TEST_F(ItemsFixture, FontTableSubstitutionPairsStopAtAnIncompleteEntry)
{
  auto f = NodesOf(p.state, "KPD_kdmTTFont");
  ASSERT_EQ(1u, f.size());
  auto *fv = reinterpret_cast<const DESC_FONT_VALUE_NODE *>(ValueNode(f[0], 2018));
  ASSERT_NE(nullptr, fv);
  ASSERT_EQ(2u, fv->count);
  EXPECT_STREQ("Arial", fv->names[0]);
  EXPECT_STREQ("Helvetica", fv->substitutes[0]);
  EXPECT_STREQ("Times New Roman", fv->names[1]);
  EXPECT_STREQ("Times", fv->substitutes[1]);
}

TEST_F(ItemsFixture, IdentityTypeWordsAndDirectSlots)
{
  auto paper = NodesOf(p.state, "KPD_IDC_PAPER_CHOICE_PAPERSIZE");
  auto id = NodesOf(p.state, "KPD_IDC_PAPER_CHOICE_PRINTSIZE");
  ASSERT_EQ(1u, id.size());
  EXPECT_EQ(Key("KPD_IDC_PAPER_CHOICE_PAPERSIZE"), id[0]->variant);
  EXPECT_EQ(DESC_TYPE_IDENTITY | DESC_TYPE_PICK_PAGE, id[0]->type);
  EXPECT_EQ(paper[0]->values, id[0]->values);
  EXPECT_EQ(2, id[0]->defaultValue);
  EXPECT_EQ(id[0], p.header()->slotsLow[46 - 1]);

  EXPECT_EQ(3, NodesOf(p.state, "KPD_IDC_SETUP_CHOICE_MEDIATYPE")[0]->type);
  EXPECT_EQ(1, NodesOf(p.state, "KPD_IDC_EDIT_CHOICE_NUP_KIND")[0]->type);
  EXPECT_EQ(0x2001, NodesOf(p.state, "KPD_IDC_EDIT_CHOICE_NUP_TYPE")[0]->type);
  EXPECT_EQ(NodesOf(p.state, "KPD_kdmTaskWeave")[0], p.header()->slotsHigh[608 - 601]);
  EXPECT_EQ(NodesOf(p.state, "KPD_kdmPrinterMemory")[0], p.header()->slotsExtended[10012 - 10001]);
}

TEST(ItemTypeWord, TypesFlagsAndIdentityNames)
{
  char other[64];
  struct Case {
    const char *value;
    WORD type;
    const char *other;
  } cases[] = {
      {"PickOne", 1, ""},
      {"PickMany | Foo", 3, ""},
      {"Foo", 1, ""},
      {"String|Password", 0x11, ""},  // an unlisted flag word ORs in 1
      {"Boolean | TypeUnknown", 0x2004, ""},
      {"PickPage | Identity", 0x1101, ""},
      {"Identity *KPD_RADIOLIST_1", 0x1000, "KPD_RADIOLIST_1"},
      {"Identity KPD_RADIOLIST_1", 0x1000, ""},
      {"AVeryLongTypeWordIndeed", 1, ""},
      {"", 1, ""},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(c.type, DescParseItemType(c.value, other)) << c.value;
    EXPECT_STREQ(c.other, other) << c.value;
  }
}

TEST(ItemDefaults, UnlistedDefaultGivesPositionZeroAndVariantOutOfRangeToo)
{
  Parsed p;
  ParseText(p,
            "*OpenUI *KPD_RADIOLIST_1: PickOne\n"
            "*KPD_RADIOLIST_1 IDS_ORIENTATION_PORTRAIT: \"P\"\n"
            "*DefaultKPD_RADIOLIST_1: IDS_COLOR_COLOR\n"
            "*CloseUI\n"
            "*OpenUI *KPD_RADIOLIST_1 4: PickOne\n"
            "*DefaultKPD_RADIOLIST_1: IDS_COLOR_COLOR\n"
            "*CloseUI\n"
            "*OpenUI *KPD_RADIOLIST_6 7: PickOne\n"  // variant before any base: a base item
            "*CloseUI\n");
  auto nodes = NodesOf(p.state, "KPD_RADIOLIST_1");
  ASSERT_EQ(2u, nodes.size());
  EXPECT_EQ(0, nodes[0]->defaultValue);
  EXPECT_EQ(0, nodes[1]->defaultValue);  // 2019 is no position of a one-value list
  auto color = NodesOf(p.state, "KPD_RADIOLIST_6");
  ASSERT_EQ(1u, color.size());
  EXPECT_EQ(0, color[0]->variant);
  EXPECT_EQ(color[0], p.header()->slotsLow[15 - 1]);
  EXPECT_EQ(0u, p.state->rejectedLines) << p.All();
}

// An item whose CloseUI line is lost is closed at the end of the file, with a warning: its
// default becomes the position of the default value (left as the value ID 2043 it would
// point past the end of the list, and the validator would refuse the block).
TEST(ItemDefaults, FileEndingWithAnOpenItemClosesIt)
{
  Parsed p;
  ParseText(p,
            "*OpenUI *KPD_RADIOLIST_1: PickOne\n"
            "*KPD_RADIOLIST_1 IDS_ORIENTATION_PORTRAIT: \"P\"\n"
            "*KPD_RADIOLIST_1 IDS_ORIENTATION_LANDSCAPE: \"L\"\n"
            "*DefaultKPD_RADIOLIST_1: IDS_ORIENTATION_LANDSCAPE\n");
  EXPECT_EQ(1, NodesOf(p.state, "KPD_RADIOLIST_1")[0]->defaultValue);
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "not closed at the end of the file")) << p.All();
  EXPECT_EQ(0u, p.state->rejectedLines) << p.All();
}

// Lines whose record does not fit the item's type never write into a record of another
// shape: the keyword is rejected, or ignored with a warning, and the record stays intact.
TEST(ItemRecordShapes, LinesForAnotherTypeLeaveTheRecordsIntact)
{
  Parsed p;
  ParseText(p,
            "*OpenUI *KPD_IDC_PAPER_EDIT_COPIES: Numeric\n"
            "*NumericValue: \"5 7 6 8\"\n"
            "*KPD_IDC_PAPER_EDIT_COPIES True: \"would be a Boolean record\"\n"
            "*KPD_IDC_PAPER_EDIT_COPIES: IDList { IDS_COLOR_COLOR }\n"
            "*StringValue: 12 ASCII\n"
            "*DefaultKPD_IDC_PAPER_EDIT_COPIES: True\n"
            "*CloseUI\n"
            "*OpenUI *KPD_kdmHFFontName: String\n"
            "*StringValue: 9 Capital\n"
            "*KPD_kdmHFFontName x: \"text\"\n"
            "*KPD_kdmHFFontName: IDList { IDS_COLOR_COLOR }\n"
            "*NumericValue: \"1 2 3\"\n"
            "*CloseUI\n"
            "*OpenUI *KPD_kdmUIModeChange: Boolean\n"
            "*DefaultKPD_kdmUIModeChange: True\n"
            "*KPD_kdmUIModeChange: IDList { IDS_COLOR_COLOR }\n"
            "*PageValue a IDS_COLOR_COLOR: 600 IDS_ORIENTATION_PORTRAIT \"1 2 3 4\"\n"
            "*CloseUI\n");
  EXPECT_EQ(3u, p.state->rejectedLines) << p.All();
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "StringValue needs a String item; item 'KPD_IDC_PAPER_EDIT_COPIES' is Numeric"));
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "NumericValue needs a Numeric item; item 'KPD_kdmHFFontName' is String"));
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "PageValue needs a PickPage item; item 'KPD_kdmUIModeChange' is Boolean"));
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "option line 'True' ignored"));
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "IDList ignored: item 'KPD_IDC_PAPER_EDIT_COPIES' is Numeric"));
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "IDList ignored: item 'KPD_kdmUIModeChange' is Boolean"));

  auto *nv = static_cast<const DESC_NUMERIC_VALUE *>(NodesOf(p.state, "KPD_IDC_PAPER_EDIT_COPIES")[0]->values);
  EXPECT_EQ(5, nv->number1);
  EXPECT_EQ(7u, nv->defaultValue);
  EXPECT_EQ(6u, nv->minimum);
  EXPECT_EQ(8u, nv->maximum);
  EXPECT_EQ(0, nv->divisor);
  auto *sv = static_cast<const DESC_STRING_VALUE *>(NodesOf(p.state, "KPD_kdmHFFontName")[0]->values);
  EXPECT_EQ(9, sv->maxLength);
  EXPECT_EQ(8, sv->charSet);
  EXPECT_EQ(0, sv->defaultValue);
  auto *bv = static_cast<const DESC_BOOLEAN_VALUE *>(NodesOf(p.state, "KPD_kdmUIModeChange")[0]->values);
  EXPECT_EQ(1u, bv->defaultValue);
  EXPECT_EQ(nullptr, bv->trueText);
}

TEST(ItemRecordShapes, PaperAndFontKeywordsOnlyOnTheirTypes)
{
  struct Case {
    const char *type;
    const char *line;
    const char *message;
  } cases[] = {
      {"PickOne", "*PageValue a IDS_COLOR_COLOR: 600 IDS_ORIENTATION_PORTRAIT \"1\"",
       "PageValue needs a PickPage item"},
      {"PickSlot", "*PageMMValue a IDS_COLOR_COLOR: \"1 2\"", "PageMMValue needs a PickPage item"},
      {"PickPage", "*SlotPaper a IDS_COLOR_COLOR: { IDS_PAPERSIZE_A4 }", "SlotPaper needs a PickSlot item"},
      {"PickOne", "*TTFS a IDS_COLOR_COLOR: IDList { {\"A\" \"B\"} }", "TTFS needs a FontTbl item"},
      {"PickMany", "*TTFS a IDS_COLOR_COLOR: IDList { {\"A\" \"B\"} }", "TTFS needs a FontTbl item"},
      {"Numeric", "*StringValue: 3", "StringValue needs a String item"},
      {"PickOne", "*NumericValue: \"1\"", "NumericValue needs a Numeric item"},
  };
  for (const Case &c : cases) {
    Parsed p;
    ParseText(p, std::string("*OpenUI *KPD_RADIOLIST_6: ") + c.type +
                     "\n*KPD_RADIOLIST_6: IDList { IDS_COLOR_COLOR }\n" + c.line + "\n*CloseUI\n");
    EXPECT_EQ(1u, p.state->rejectedLines) << c.line << "\n" << p.All();
    EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, c.message)) << c.line << "\n" << p.All();
    for (const Diagnostic &d : p.diags)
      if (d.severity == DESC_DIAG_ERROR) {
        EXPECT_EQ(3u, d.line) << d.message;
      }
  }
}

TEST(ItemVariants, VariantZeroAndBadVariantNumbersAreRejected)
{
  Parsed p;
  ParseText(p,
            "*OpenUI *KPD_RADIOLIST_1: PickOne\n"
            "*KPD_RADIOLIST_1 IDS_ORIENTATION_PORTRAIT: \"P\"\n"
            "*CloseUI\n"
            "*OpenUI *KPD_RADIOLIST_1 0: PickOne\n"
            "*CloseUI\n"
            "*OpenUI *KPD_RADIOLIST_1 70000: PickOne\n"
            "*CloseUI\n"
            "*OpenUI *KPD_RADIOLIST_1 two: PickOne\n"
            "*CloseUI\n");
  EXPECT_EQ(3u, p.state->rejectedLines) << p.All();
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "variant 0 of item 'KPD_RADIOLIST_1'"));
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "variant '70000' of item 'KPD_RADIOLIST_1' is not a number"));
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "variant 'two'"));
  EXPECT_EQ(1u, NodesOf(p.state, "KPD_RADIOLIST_1").size());
}

// Variants share their base's value data and command pair; replacing a command or a
// value record on any of them must leave exactly one owner of each allocation (the
// sanitizer build catches a double free when the state is freed).
TEST(ItemVariants, SharedDataHasOneOwner)
{
  Parsed p;
  ParseText(p,
            "*OpenUI *KPD_kdmUIModeChange: Boolean\n"
            "*KPD_kdmUIModeChange True: \"T1\"\n"
            "*OptionCommand: { \"A\" \"B\" }\n"
            "*CloseUI\n"
            "*OpenUI *KPD_kdmUIModeChange 1: Boolean\n"
            "*OptionCommand: { \"C\" }\n"
            "*OptionCommand: { \"D\" }\n"
            "*KPD_kdmUIModeChange True: \"T2\"\n"
            "*DefaultKPD_kdmUIModeChange: True\n"
            "*CloseUI\n"
            "*OpenUI *KPD_kdmUIModeChange 2: Boolean\n"
            "*CloseUI\n"
            "*OpenUI *KPD_IDC_PAPER_CHOICE_PRINTSIZE: Identity *KPD_kdmUIModeChange\n"
            "*OptionCommand: { \"E\" }\n"
            "*CloseUI\n");
  EXPECT_EQ(0u, p.state->rejectedLines) << p.All();
  auto nodes = NodesOf(p.state, "KPD_kdmUIModeChange");
  ASSERT_EQ(3u, nodes.size());
  EXPECT_EQ(nodes[0]->values, nodes[1]->values);
  EXPECT_EQ(nodes[0]->values, nodes[2]->values);
  auto *bv = static_cast<const DESC_BOOLEAN_VALUE *>(nodes[0]->values);
  EXPECT_STREQ("T2", bv->trueText);  // option lines act on the base item
  EXPECT_EQ(1u, bv->defaultValue);
  EXPECT_STREQ("A", nodes[0]->command->first);
  EXPECT_STREQ("D", nodes[1]->command->first);
  EXPECT_EQ(nodes[0]->command, nodes[2]->command);
  auto id = NodesOf(p.state, "KPD_IDC_PAPER_CHOICE_PRINTSIZE");
  EXPECT_EQ(nodes[0]->values, id[0]->values);
  EXPECT_EQ(DESC_TYPE_IDENTITY | DESC_TYPE_BOOLEAN, id[0]->type);
  EXPECT_STREQ("E", id[0]->command->first);
}

// An Identity node keeps the shared item's key in its variant field: a variant line on it
// would have its number read as another item's key (and share that item's values), so it
// is refused; the Identity item itself stays as it was.
TEST(ItemVariants, IdentityItemsTakeNoVariantLines)
{
  Parsed p;
  ParseText(p,
            "*OpenUI *KPD_IDC_PAPER_CHOICE_PAPERSIZE: PickPage\n"
            "*KPD_IDC_PAPER_CHOICE_PAPERSIZE: IDList { IDS_PAPERSIZE_A4 IDS_PAPERSIZE_A3 }\n"
            "*CloseUI\n"
            "*OpenUI *KPD_RADIOLIST_1: PickOne\n"
            "*KPD_RADIOLIST_1: IDList { IDS_ORIENTATION_PORTRAIT }\n"
            "*CloseUI\n"
            "*OpenUI *KPD_IDC_PAPER_CHOICE_PRINTSIZE: Identity *KPD_RADIOLIST_1\n"
            "*CloseUI\n"
            "*OpenUI *KPD_IDC_PAPER_CHOICE_PRINTSIZE " +
                std::to_string(Key("KPD_IDC_PAPER_CHOICE_PAPERSIZE")) +
                ": PickOne\n"
                "*CloseUI\n"
                "*OpenUI *KPD_RADIOLIST_6: PickOne | Identity\n"
                "*CloseUI\n"
                "*OpenUI *KPD_RADIOLIST_6 2: PickOne\n"
                "*CloseUI\n");
  EXPECT_EQ(2u, p.state->rejectedLines) << p.All();
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "item 'KPD_IDC_PAPER_CHOICE_PRINTSIZE' is an Identity item and takes no variant"))
      << p.All();
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "item 'KPD_RADIOLIST_6' is an Identity item")) << p.All();
  auto id = NodesOf(p.state, "KPD_IDC_PAPER_CHOICE_PRINTSIZE");
  ASSERT_EQ(1u, id.size());
  EXPECT_EQ(Key("KPD_RADIOLIST_1"), id[0]->variant);
  EXPECT_EQ(NodesOf(p.state, "KPD_RADIOLIST_1")[0]->values, id[0]->values);
  EXPECT_EQ(1u, NodesOf(p.state, "KPD_RADIOLIST_6").size());
}

TEST(ItemValueLines, NumbersOutOfRangeAreRejectedNotWrapped)
{
  struct Case {
    const char *type;
    const char *line;
    const char *message;
  } cases[] = {
      {"PickPage", "*PageMMValue a IDS_COLOR_COLOR: \"2100 4294967296\"", "PageMMValue: number too large"},
      {"PickPage", "*PageValue a IDS_COLOR_COLOR: 600 IDS_ORIENTATION_PORTRAIT \"1 2 3000000000\"",
       "PageValue: number too large"},
  };
  for (const Case &c : cases) {
    Parsed p;
    ParseText(p, std::string("*OpenUI *KPD_RADIOLIST_6: ") + c.type +
                     "\n*KPD_RADIOLIST_6: IDList { IDS_COLOR_COLOR }\n" + c.line + "\n*CloseUI\n");
    EXPECT_EQ(1u, p.state->rejectedLines) << c.line << "\n" << p.All();
    EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, c.message)) << c.line << "\n" << p.All();
    const DESC_ITEM_NODE *node = NodesOf(p.state, "KPD_RADIOLIST_6")[0];
    if (node->type == DESC_TYPE_PICK_PAGE) {
      auto *v = reinterpret_cast<const DESC_PAGE_VALUE_NODE *>(node->values);
      EXPECT_EQ(0, v->width);
      EXPECT_EQ(nullptr, v->geometry);
    }
  }
}

// A paper's size and printable areas are kept only as they lie on the paper: a size
// outside 0 to 3.2 m, a negative number, or an area that ends outside its paper (checked
// on its line when the size is known, else when the file ends) drops that one line or
// entry with an error naming it, an orientation that is not one with a warning, as an
// unknown orientation word; the line is not rejected, and the paper's other entries stay.
TEST(ItemValueLines, PaperLinesOffTheirPaperAreDroppedAlone)
{
  struct Case {
    const char *lines;    // after the A4 value of a PickPage item
    const char *message;  // the error (or, for a word that is no orientation, the warning) reported
    DWORD line;           // its line (0: reported when the file ends)
    LONG width, length;   // A4's size afterwards
    size_t areas;         // A4's printable areas afterwards
  } cases[] = {
      {"*PageMMValue a IDS_PAPERSIZE_A4: \"2100 40000\"", "PageMMValue: the length (40000) is outside 0 to 32767", 3, 0,
       0, 0},
      {"*PageMMValue a IDS_PAPERSIZE_A4: \"-1 2970\"", "PageMMValue: the width (-1) is outside", 3, 0, 0, 0},
      {"*PageMMValue a IDS_PAPERSIZE_A4: \"2100 2970\"\n"
       "*PageMMValue a IDS_PAPERSIZE_A4: \"99999 2970\"",
       "PageMMValue: the width (99999)", 4, 2100, 2970, 0},
      {"*PageMMValue a IDS_PAPERSIZE_A4: \"2100 2970\"\n"
       "*PageValue a IDS_PAPERSIZE_A4: 600 IDS_ORIENTATION_PORTRAIT \"94 -99 4773 6818 94 99\"",
       "PageValue: number 2 (-99) is negative; entry dropped", 4, 2100, 2970, 0},
      {"*PageMMValue a IDS_PAPERSIZE_A4: \"2100 2970\"\n"
       "*PageValue a IDS_PAPERSIZE_A4: 600 IDS_COLOR_COLOR \"94 99 4773 6818 94 99\"",
       "PageValue: 'IDS_COLOR_COLOR' is not an orientation", 4, 2100, 2970, 0},
      {"*PageMMValue a IDS_PAPERSIZE_A4: \"2100 2970\"\n"
       "*PageValue a IDS_PAPERSIZE_A4: 600 IDS_ORIENTATION_PORTRAIT \"94 99 4773 6818 94 99\"\n"
       "*PageValue a IDS_PAPERSIZE_A4: 600 IDS_ORIENTATION_PORTRAIT \"94 99 4868 6818 0 0\"",
       "PageValue: the printable area at 600 dpi ends outside the paper (2100 x 2970 tenths of a mm)", 5, 2100, 2970,
       1},
      // Portrait extents given for landscape, read before the paper's size.
      {"*PageValue a IDS_PAPERSIZE_A4: 600 IDS_ORIENTATION_LANDSCAPE \"94 99 4773 6818 94 99\"\n"
       "*PageValue a IDS_PAPERSIZE_A4: 600 IDS_ORIENTATION_PORTRAIT \"94 99 4773 6818 94 99\"\n"
       "*PageMMValue a IDS_PAPERSIZE_A4: \"2100 2970\"",
       "the printable area at 600 dpi of paper value 3009 ends outside the paper", 0, 2100, 2970, 1},
      {"*PageValue a IDS_PAPERSIZE_A4: 600 IDS_ORIENTATION_PORTRAIT \"94 99 4773 6818 94 99\"",
       "paper value 3009 has no size (no PageMMValue line)", 0, 0, 0, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.lines);
    Parsed p;
    ParseText(p, std::string("*OpenUI *KPD_IDC_PAPER_CHOICE_PAPERSIZE: PickPage\n"
                             "*KPD_IDC_PAPER_CHOICE_PAPERSIZE: IDList { IDS_PAPERSIZE_A4 }\n") +
                     c.lines + "\n*CloseUI\n");
    EXPECT_EQ(0u, p.state->rejectedLines) << p.All();
    bool found = false;
    for (const Diagnostic &d : p.diags)
      if (d.message.find(c.message) != std::string::npos) {
        found = true;
        EXPECT_EQ(c.line, d.line) << d.message;
      }
    EXPECT_TRUE(found) << p.All();
    auto *a4 = static_cast<const DESC_PAGE_VALUE_NODE *>(NodesOf(p.state, "KPD_IDC_PAPER_CHOICE_PAPERSIZE")[0]->values);
    EXPECT_EQ(c.width, a4->width);
    EXPECT_EQ(c.length, a4->length);
    size_t areas = 0;
    for (const DESC_PAPER_GEOMETRY *g = a4->geometry; g != nullptr; g = g->next) ++areas;
    EXPECT_EQ(c.areas, areas);
  }
}

// A bad field of a NumericValue or StringValue line costs only itself: it is reported on
// its line and dropped (left as a field the line does not reach), while the record and its
// other fields, the default included, are kept.
TEST(ItemValueLines, BadNumericAndStringFieldsAreDroppedAlone)
{
  struct Case {
    const char *type;
    const char *line;
    const char *message;
    const char *record;  // fields of the record after the line
  } cases[] = {
      {"Numeric", "*NumericValue: \"1 99999999999 0 4\"", "NumericValue: number 2 '99999999999' is too large",
       "lead 0 n1 1 default 0 min 0 max 4 div 0 6-8 0 0 0"},
      {"Numeric", "*NumericValue: \"70000 5 1 9\"", "NumericValue: number 1 (70000) must be from -32768 to 32767",
       "lead 0 n1 0 default 5 min 1 max 9 div 0 6-8 0 0 0"},
      {"Numeric", "*NumericValue: 40000 \"1 5 0 9\"", "the number before the quote must be from -32768 to 32767",
       "lead 0 n1 1 default 5 min 0 max 9 div 0 6-8 0 0 0"},
      {"Numeric", "*NumericValue: x7 \"1 5 0 9\"", "the number before the quote",
       "lead 0 n1 1 default 5 min 0 max 9 div 0 6-8 0 0 0"},
      // A default outside its range is brought to the nearer bound (so no compiled block
      // holds a default its item does not offer).
      {"Numeric", "*NumericValue: \"1 50 1 9\"", "the default (50) is outside the range 1 to 9; it becomes 9",
       "lead 0 n1 1 default 9 min 1 max 9 div 0 6-8 0 0 0"},
      {"Numeric", "*NumericValue: \"1 -5 1 9\"", "the default (-5) is outside the range 1 to 9; it becomes 1",
       "lead 0 n1 1 default 1 min 1 max 9 div 0 6-8 0 0 0"},
      {"Numeric", "*NumericValue: \"1 5\"", "the default (5) is outside the range 0 to 0; it becomes 0",
       "lead 0 n1 1 default 0 min 0 max 0 div 0 6-8 0 0 0"},
      {"Numeric", "*NumericValue: \"1 2 x 4\"", "NumericValue: number 3 'x' is not a number",
       "lead 0 n1 1 default 2 min 0 max 4 div 0 6-8 0 0 0"},
      {"Numeric", "*NumericValue: 7 \"1 5 0 9 -1 40000 6 -7\"", "the display divisor (-1) must be from 0 to 65535",
       "lead 7 n1 1 default 5 min 0 max 9 div 0 6-8 0 6 -7"},
      {"String", "*StringValue: 70000 ASCII | Password", "maximum length must be a number from 0 to 65535",
       "default 3009 max 0 set 2 display 256"},
      {"String", "*StringValue: -1 Capital", "maximum length", "default 3009 max 0 set 8 display 0"},
      {"String", "*StringValue: Small", "maximum length", "default 3009 max 0 set 16 display 0"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.line);
    Parsed p;
    ParseText(p, std::string("*OpenUI *KPD_RADIOLIST_6: ") + c.type + "\n*DefaultKPD_RADIOLIST_6: IDS_PAPERSIZE_A4\n" +
                     c.line + "\n*CloseUI\n");
    EXPECT_EQ(0u, p.state->rejectedLines) << p.All();
    EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, c.message)) << p.All();
    for (const Diagnostic &d : p.diags)
      if (d.severity == DESC_DIAG_ERROR) {
        EXPECT_EQ(3u, d.line) << d.message;
      }
    const DESC_ITEM_NODE *node = NodesOf(p.state, "KPD_RADIOLIST_6")[0];
    ASSERT_NE(nullptr, node->values);
    std::string got;
    if (node->type == DESC_TYPE_NUMERIC) {
      auto *r = static_cast<const DESC_NUMERIC_VALUE *>(node->values);
      got = "lead " + std::to_string(r->lead) + " n1 " + std::to_string(r->number1) + " default " +
            std::to_string(static_cast<LONG>(r->defaultValue)) + " min " +
            std::to_string(static_cast<LONG>(r->minimum)) + " max " + std::to_string(static_cast<LONG>(r->maximum)) +
            " div " + std::to_string(r->divisor) + " 6-8 " + std::to_string(r->number6) + " " +
            std::to_string(r->number7) + " " + std::to_string(r->number8);
    } else {
      auto *r = static_cast<const DESC_STRING_VALUE *>(node->values);
      got = "default " + std::to_string(r->defaultValue) + " max " + std::to_string(r->maxLength) + " set " +
            std::to_string(r->charSet) + " display " + std::to_string(r->display);
    }
    EXPECT_EQ(c.record, got);
  }
}

// An inverted range (minimum above maximum) offers no value to bring a default to: the
// line is kept as written, without an error.
TEST(ItemValueLines, NumericDefaultOfAnInvertedRangeIsKept)
{
  Parsed p;
  ParseText(p, "*OpenUI *KPD_RADIOLIST_6: Numeric\n*NumericValue: \"1 50 9 1\"\n*CloseUI\n");
  EXPECT_FALSE(p.Has(DESC_DIAG_ERROR, "NumericValue")) << p.All();
  const DESC_ITEM_NODE *node = NodesOf(p.state, "KPD_RADIOLIST_6")[0];
  ASSERT_NE(nullptr, node->values);
  auto *r = static_cast<const DESC_NUMERIC_VALUE *>(node->values);
  EXPECT_EQ(50u, r->defaultValue);
  EXPECT_EQ(9u, r->minimum);
  EXPECT_EQ(1u, r->maximum);
}

TEST(ItemValueLines, IdListEntriesAndItsEnds)
{
  Parsed p;
  ParseText(p,
            "*OpenUI *KPD_IDC_SETUP_CHOICE_SOURCETRAY: PickOne\n"
            "*KPD_IDC_SETUP_CHOICE_SOURCETRAY: IDList { IDS_PAPERSOURCE_AUTO {IDS_PAPERSOURCE_TRAY1 \"T1\"}\n"
            "  {IDS_PAPERSOURCE_TRAY2 \"T2\" IDS_PAPERSOURCE_TRAY3 } IDS_PAPERSOURCE_TRAY4 }\n"
            "*KPD_IDC_SETUP_CHOICE_SOURCETRAY: IDList { IDS_PAPERSOURCE_LCT NoSuchValue IDS_PAPERSOURCE_MANUAL }\n"
            "*KPD_IDC_SETUP_CHOICE_SOURCETRAY NoSuchValue: \"x\"\n"
            "*CloseUI\n");
  EXPECT_EQ(0u, p.state->rejectedLines) << p.All();
  std::vector<std::pair<WORD, std::string>> want = {{4007, "<none>"}, {4001, "T1"}, {4011, "<none>"}};
  EXPECT_EQ(want, ValuesOf(NodesOf(p.state, "KPD_IDC_SETUP_CHOICE_SOURCETRAY")[0]));
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "entry 'IDS_PAPERSOURCE_TRAY2' is not closed by '}'"));
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "unknown value 'NoSuchValue' ends the value list"));
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "unknown value 'NoSuchValue' ignored"));
}

TEST(ItemOpenClose, OpenUiErrorsAndLinesOutsideAnItem)
{
  Parsed p;
  ParseText(p,
            "*OpenUI *KPD_RADIOLIST_1: PickOne\n"
            "*OpenUI *KPD_RADIOLIST_6: PickOne\n"
            "*CloseUI\n"
            "*OpenUI KPD_RADIOLIST_6: PickOne\n"
            "*OpenUI *NoSuchItem: PickOne\n"
            "*CloseUI\n"
            "*NumericValue: \"1\"\n"
            "*OptionCommand: { \"x\" }\n"
            "*KPD_RADIOLIST_1 IDS_ORIENTATION_PORTRAIT: \"not an option line now\"\n");
  EXPECT_EQ(4u, p.state->rejectedLines) << p.All();
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "OpenUI while item 'KPD_RADIOLIST_1' is open"));
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "OpenUI needs the item as '*name', not 'KPD_RADIOLIST_6'"));
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "OpenUI: unknown item 'NoSuchItem'"));
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "unknown keyword 'KPD_RADIOLIST_1'"));
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "NumericValue outside an OpenUI/CloseUI pair"));
  EXPECT_EQ(1u, NodesOf(p.state, "KPD_RADIOLIST_1").size());
  EXPECT_EQ(0u, NodesOf(p.state, "KPD_RADIOLIST_6").size());
  for (const Diagnostic &d : p.diags)
    if (d.message.find("while item") != std::string::npos) {
      EXPECT_EQ(2u, d.line);
    }
}

}  // namespace
