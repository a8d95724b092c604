// Reading and writing printer data of the sample printer through the store's primitives:
// present, missing, wrong type, too long, no rights and injected failures.
#include <string.h>

#include "kvplat/spool_control.h"
#include "os/printer_data.h"
#include "store_fixture.h"

namespace {

const BYTE kFill = 0xAA;

struct ReadCase {
  const char *what;
  const WCHAR *stored;  // value name written before the read, or NULL
  DWORD type;           // its type
  std::string bytes;    // its bytes
  const WCHAR *asked;   // value name asked for
  DWORD bufferBytes;    // buffer size passed (the buffer itself has 16 bytes)
  bool nullBuffer;
  BOOL ok;
  std::string expected;  // the whole 16-byte buffer after the call, as a prefix; the rest stays kFill
  DWORD error;           // last error on failure
};

std::string Filled(size_t n) { return std::string(n, static_cast<char>(kFill)); }

}  // namespace

TEST_F(StoreTest, GetPrinterDataCases)
{
  const std::string abcd = "\x01\x02\x03\x04";
  const ReadCase cases[] = {
      {"exact size", u"Duplex", REG_BINARY, abcd, u"Duplex", 4, false, TRUE, abcd, 0},
      {"value name in another case", u"Duplex", REG_BINARY, abcd, u"DUPLEX", 4, false, TRUE, abcd, 0},
      {"shorter value: the rest of the buffer is zeroed", u"Tray1Paper", REG_BINARY, "\x07\x00", u"Tray1Paper", 8,
       false, TRUE, std::string("\x07\x00\x00\x00\x00\x00\x00\x00", 8), 0},
      {"REG_DWORD read as bytes", u"Logging", REG_DWORD, Dword(5), u"Logging", 4, false, TRUE, Dword(5), 0},
      {"text read as bytes (the type is the caller's concern)", u"Other", REG_SZ, TextBytes(u"ab"), u"Other", 8, false,
       TRUE, TextBytes(u"ab") + std::string(2, '\0'), 0},
      {"empty value", u"Empty", REG_BINARY, "", u"Empty", 4, false, TRUE, std::string(4, '\0'), 0},
      {"missing", nullptr, 0, "", u"Duplex", 4, false, FALSE, "", ERROR_FILE_NOT_FOUND},
      {"too long for the buffer: refused, never cut", u"Other", REG_BINARY, std::string(33, 'x'), u"Other", 32, false,
       FALSE, "", ERROR_MORE_DATA},
      {"NULL buffer", u"Duplex", REG_BINARY, abcd, u"Duplex", 4, true, FALSE, "", ERROR_INVALID_PARAMETER},
      {"zero bytes", u"Duplex", REG_BINARY, abcd, u"Duplex", 0, false, FALSE, "", ERROR_INVALID_PARAMETER},
      {"NULL value name", u"Duplex", REG_BINARY, abcd, nullptr, 4, false, FALSE, "", ERROR_INVALID_PARAMETER},
      {"empty value name", u"Duplex", REG_BINARY, abcd, u"", 4, false, FALSE, "", ERROR_INVALID_PARAMETER},
  };
  for (const ReadCase &c : cases) {
    SCOPED_TRACE(c.what);
    if (c.stored) PutData(c.stored, c.type, c.bytes);
    BYTE buf[16];
    memset(buf, kFill, sizeof buf);
    SetLastError(0);
    BOOL ok = StoreGetPrinterData(printer_, c.nullBuffer ? nullptr : buf, c.bufferBytes, c.asked, &ctx_);
    EXPECT_EQ(c.ok, ok);
    std::string after(reinterpret_cast<char *>(buf), sizeof buf);
    EXPECT_EQ(c.expected + Filled(16 - c.expected.size()), after) << "bytes beyond the buffer size stay untouched";
    if (!c.ok) {
      EXPECT_EQ(c.error, GetLastError());
    }
    if (c.stored) {
      ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), DeletePrinterDataW(printer_, const_cast<LPWSTR>(c.stored)));
    }
  }
}

TEST_F(StoreTest, GetPrinterDataNeedsOnlyReadRights)
{
  PutData(u"Duplex", REG_BINARY, Dword(1));
  HANDLE user = OpenSample(PRINTER_ACCESS_USE);
  PlatSpoolSetAccess(FALSE, TRUE);
  DWORD v = 0;
  EXPECT_TRUE(StoreGetPrinterData(user, &v, 4, u"Duplex", nullptr));
  EXPECT_EQ(1u, v);
  EXPECT_FALSE(StoreGetPrinterData(nullptr, &v, 4, u"Duplex", nullptr)) << "no printer";
}

TEST_F(StoreTest, LaterShorterReadLeavesNoStaleBytes)
{
  BYTE field[9];
  PutData(u"DllUserCode", REG_BINARY, "12345678");
  ASSERT_TRUE(StoreGetPrinterData(printer_, field, sizeof field, u"DllUserCode", &ctx_));
  EXPECT_EQ(std::string("12345678\0", 9), std::string(reinterpret_cast<char *>(field), 9));
  PutData(u"DllUserCode", REG_BINARY, "99");
  ASSERT_TRUE(StoreGetPrinterData(printer_, field, sizeof field, u"DllUserCode", &ctx_));
  EXPECT_EQ(std::string("99\0\0\0\0\0\0\0", 9), std::string(reinterpret_cast<char *>(field), 9));
}

namespace {

enum SetFn { SET_TYPED, SET_BINARY, SET_STRING, SET_PROBE };

struct WriteCase {
  const char *what;
  SetFn fn;
  const WCHAR *name;
  DWORD type;         // for SET_TYPED
  std::string bytes;  // data written (empty: pass NULL data with the size below)
  DWORD size;         // size passed
  int fault;          // 0 none, 1 no rights (user handle), 2 injected write failure
  BOOL ok;
  DWORD storedType;  // type stored afterwards (when ok)
  DWORD error;       // last error on failure
};

}  // namespace

TEST_F(StoreTest, SetPrinterDataCases)
{
  const std::string text = TextBytes(u"KVSAMPLE.EDD");
  const WriteCase cases[] = {
      {"typed REG_DWORD", SET_TYPED, u"Logging", REG_DWORD, Dword(7), 4, 0, TRUE, REG_DWORD, 0},
      {"typed keeps any type", SET_TYPED, u"Logging", REG_MULTI_SZ, TextBytes(u"a") + std::string(2, '\0'), 6, 0, TRUE,
       REG_MULTI_SZ, 0},
      {"binary", SET_BINARY, u"Duplex", 0, Dword(1), 4, 0, TRUE, REG_BINARY, 0},
      {"binary of one byte", SET_BINARY, u"BidiFunc", 0, "\x03", 1, 0, TRUE, REG_BINARY, 0},
      {"string", SET_STRING, u"DriverEDFileName", 0, text, static_cast<DWORD>(text.size()), 0, TRUE, REG_SZ, 0},
      {"permission probe", SET_PROBE, u"Permission", 0, Dword(1), 4, 0, TRUE, REG_DWORD, 0},
      {"NULL data", SET_BINARY, u"Duplex", 0, "", 4, 0, FALSE, 0, ERROR_INVALID_PARAMETER},
      {"zero bytes", SET_BINARY, u"Duplex", 0, Dword(1), 0, 0, FALSE, 0, ERROR_INVALID_PARAMETER},
      {"NULL value name", SET_BINARY, nullptr, 0, Dword(1), 4, 0, FALSE, 0, ERROR_INVALID_PARAMETER},
      {"probe with NULL data", SET_PROBE, u"Permission", 0, "", 4, 0, FALSE, 0, ERROR_INVALID_PARAMETER},
      {"no rights: binary", SET_BINARY, u"Duplex", 0, Dword(1), 4, 1, FALSE, 0, ERROR_ACCESS_DENIED},
      {"no rights: string", SET_STRING, u"DriverEDFileName", 0, text, static_cast<DWORD>(text.size()), 1, FALSE, 0,
       ERROR_ACCESS_DENIED},
      {"no rights: probe", SET_PROBE, u"Permission", 0, Dword(1), 4, 1, FALSE, 0, ERROR_ACCESS_DENIED},
      {"injected failure: typed", SET_TYPED, u"Logging", REG_DWORD, Dword(7), 4, 2, FALSE, 0, ERROR_CANTWRITE},
      {"injected failure: binary", SET_BINARY, u"Duplex", 0, Dword(1), 4, 2, FALSE, 0, ERROR_CANTWRITE},
      {"injected failure: probe", SET_PROBE, u"Permission", 0, Dword(1), 4, 2, FALSE, 0, ERROR_CANTWRITE},
  };
  HANDLE user = OpenSample(PRINTER_ACCESS_USE);
  for (const WriteCase &c : cases) {
    SCOPED_TRACE(c.what);
    const WCHAR *target = c.name ? c.name : u"Duplex";
    PutData(target, REG_BINARY, "old");
    HANDLE h = c.fault == 1 ? user : printer_;
    if (c.fault == 2) PlatFaultArm(PLAT_FAULT_PRINTER_DATA, 1);
    const void *data = c.bytes.empty() ? nullptr : c.bytes.data();
    SetLastError(0);
    BOOL ok = FALSE;
    switch (c.fn) {
      case SET_TYPED: ok = StoreSetPrinterData(h, data, c.size, c.type, c.name, &ctx_); break;
      case SET_BINARY: ok = StoreSetPrinterDataBinary(h, data, c.size, c.name, &ctx_); break;
      case SET_STRING:
        ok = StoreSetPrinterDataString(h, static_cast<const WCHAR *>(data), c.size, c.name, &ctx_);
        break;
      case SET_PROBE: ok = StoreProbePermission(h, static_cast<const DWORD *>(data), c.size); break;
    }
    PlatFaultDisarmAll();
    EXPECT_EQ(c.ok, ok);
    DWORD type = 0;
    std::string stored = GetData(target, &type);
    if (c.ok) {
      EXPECT_EQ(c.bytes.substr(0, c.size), stored);
      EXPECT_EQ(c.storedType, type);
    } else {
      EXPECT_EQ(c.error, GetLastError()) << "the spooler's answer reaches the caller";
      EXPECT_EQ("old", stored) << "a refused write changes nothing";
    }
  }
}

namespace {

struct HelpCase {
  const char *what;
  DWORD type;  // REG_NONE: no value
  std::string bytes;
  DWORD bufferBytes;  // at most 64
  BOOL ok;
  const char *name;  // the name read when ok; on failure NULL (buffer untouched) or what is left
};

}  // namespace

TEST_F(StoreTest, HelpFileNameCases)
{
  const std::string unterminated("k\0v\0m\0l\0u\0s\0", 12);
  const HelpCase cases[] = {
      {"present", REG_SZ, TextBytes(u"kvmlhelpus.hlp"), 64, TRUE, "kvmlhelpus.hlp"},
      {"expandable text", REG_EXPAND_SZ, TextBytes(u"kvmlhelpjp.hlp"), 64, TRUE, "kvmlhelpjp.hlp"},
      {"stored without terminator", REG_SZ, unterminated, 64, TRUE, "kvmlus"},
      {"exactly fills the buffer with its terminator", REG_SZ, TextBytes(u"abc.hlp"), 16, TRUE, "abc.hlp"},
      {"no room for the terminator: refused, buffer emptied", REG_SZ, unterminated, 12, FALSE, ""},
      {"too long", REG_SZ, TextBytes(u"a-much-longer-name.hlp"), 16, FALSE, nullptr},
      {"missing", REG_NONE, "", 64, FALSE, nullptr},
      {"not text", REG_BINARY, TextBytes(u"kvmlhelpus.hlp"), 64, FALSE, nullptr},
      {"a DWORD", REG_DWORD, Dword(1), 64, FALSE, nullptr},
      {"one character of room", REG_SZ, TextBytes(u"a"), 2, FALSE, nullptr},
      {"zero bytes", REG_SZ, TextBytes(u"a"), 0, FALSE, nullptr},
  };
  for (const HelpCase &c : cases) {
    SCOPED_TRACE(c.what);
    DeletePrinterDataW(printer_, const_cast<LPWSTR>(KV_PD_HELP_FILE_NAME));
    if (c.type != REG_NONE) PutData(KV_PD_HELP_FILE_NAME, c.type, c.bytes);
    for (int byHandle = 0; byHandle < 2; ++byHandle) {
      WCHAR buf[40];  // the calls get at most 32 characters of it
      for (WCHAR &ch : buf) ch = u'#';
      BOOL ok = byHandle ? StoreGetHelpFileNameOfPrinter(buf, c.bufferBytes, printer_)
                         : StoreGetHelpFileName(buf, c.bufferBytes, &ctx_);
      EXPECT_EQ(c.ok, ok) << (byHandle ? "of the printer" : "of the context");
      if (c.name) {
        EXPECT_EQ(c.name, Narrow(buf));
      } else {
        EXPECT_EQ(u'#', buf[0]) << "a failed read leaves the buffer untouched";
      }
      EXPECT_EQ(u'#', buf[c.bufferBytes / sizeof(WCHAR)]) << "nothing written past the buffer size";
    }
  }
}

TEST_F(StoreTest, HelpFileNameArgumentsAndRights)
{
  PutText(KV_PD_HELP_FILE_NAME, u"kvmlhelpus.hlp");
  WCHAR buf[64];
  EXPECT_FALSE(StoreGetHelpFileName(nullptr, sizeof buf, &ctx_));
  EXPECT_FALSE(StoreGetHelpFileName(buf, sizeof buf, nullptr));
  EXPECT_FALSE(StoreGetHelpFileNameOfPrinter(buf, sizeof buf, nullptr));
  // An empty name names no file.
  PutText(KV_PD_HELP_FILE_NAME, u"");
  EXPECT_FALSE(StoreGetHelpFileName(buf, sizeof buf, &ctx_));
  // A user who may not change the printer still reads it.
  PutText(KV_PD_HELP_FILE_NAME, u"kvmlhelpus.hlp");
  PlatSpoolSetAccess(FALSE, TRUE);
  ctx_.printer = OpenSample(PRINTER_ACCESS_USE);
  EXPECT_TRUE(StoreGetHelpFileName(buf, sizeof buf, &ctx_));
  EXPECT_EQ("kvmlhelpus.hlp", Narrow(buf));
}

TEST_F(StoreTest, SaveEdFileName)
{
  ASSERT_NE(nullptr, ctx_.model);
  DWORD type = 0;
  ASSERT_TRUE(StoreSaveEdFileName(&ctx_));
  EXPECT_EQ(TextBytes(u"KVSAMPLE.EDF"), GetData(KV_PD_ED_FILE_NAME, &type)) << "the sample model INI's name";
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ("KVSAMPLE.EDF", Narrow(state_->textBuffer)) << "read into the context's text buffer";

  const WCHAR *ini = u"C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\kvmlmodl.ini";
  struct {
    const char *what;
    const WCHAR *value;  // NULL deletes the key
    const WCHAR *stored;
  } cases[] = {
      {"another name", u"other.edf", u"other.edf"},
      {"25 characters fit", u"abcdefghijklmnopqrstu.edf", u"abcdefghijklmnopqrstu.edf"},
      {"longer names are cut to 25 characters", u"abcdefghijklmnopqrstuvwxyz.edf", u"abcdefghijklmnopqrstuvwxy"},
      {"missing key: empty", nullptr, u""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WritePrivateProfileStringW(KV_ED_FILE_SECTION, KV_ED_FILE_KEY, c.value, ini));
    EXPECT_TRUE(StoreSaveEdFileName(&ctx_));
    EXPECT_EQ(TextBytes(c.stored), GetData(KV_PD_ED_FILE_NAME));
  }

  // Refused writes reach the caller and change nothing.
  ASSERT_TRUE(WritePrivateProfileStringW(KV_ED_FILE_SECTION, KV_ED_FILE_KEY, u"new.edf", ini));
  PlatFaultArm(PLAT_FAULT_PRINTER_DATA, 1);
  EXPECT_FALSE(StoreSaveEdFileName(&ctx_)) << "injected failure";
  EXPECT_EQ(static_cast<DWORD>(ERROR_CANTWRITE), GetLastError());
  ctx_.printer = OpenSample(PRINTER_ACCESS_USE);
  EXPECT_FALSE(StoreSaveEdFileName(&ctx_)) << "no rights";
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  EXPECT_EQ(TextBytes(u""), GetData(KV_PD_ED_FILE_NAME));

  DRIVER_CONTEXT bare{};
  EXPECT_FALSE(StoreSaveEdFileName(&bare)) << "no state";
  EXPECT_FALSE(StoreSaveEdFileName(nullptr));
}

namespace {

struct BidiCase {
  const char *what;
  DWORD type;  // REG_NONE: no value
  std::string bytes;
  int fault;  // 0 none, 1 no rights, 2 injected write failure
  BOOL ok;
};

}  // namespace

TEST_F(StoreTest, BidiCanWritePrinterDataCases)
{
  const BidiCase cases[] = {
      {"flag set", REG_BINARY, Dword(1), 0, TRUE},
      {"flag clear", REG_BINARY, Dword(0), 0, TRUE},
      {"stored as REG_DWORD keeps its type", REG_DWORD, Dword(1), 0, TRUE},
      {"shorter value is written back as it was", REG_BINARY, "\x01", 0, TRUE},
      {"missing", REG_NONE, "", 0, FALSE},
      {"empty value", REG_BINARY, "", 0, FALSE},
      {"longer than 4 bytes", REG_BINARY, Dword(1) + Dword(1), 0, FALSE},
      {"no rights", REG_BINARY, Dword(1), 1, FALSE},
      {"injected failure", REG_BINARY, Dword(1), 2, FALSE},
  };
  HANDLE user = OpenSample(PRINTER_ACCESS_USE);
  for (const BidiCase &c : cases) {
    SCOPED_TRACE(c.what);
    DeletePrinterDataW(printer_, const_cast<LPWSTR>(KV_PD_BIDI_FLAG));
    if (c.type != REG_NONE) PutData(KV_PD_BIDI_FLAG, c.type, c.bytes);
    ctx_.printer = c.fault == 1 ? user : printer_;
    if (c.fault == 2) PlatFaultArm(PLAT_FAULT_PRINTER_DATA, 1);
    EXPECT_EQ(c.ok, BidiCanWritePrinterData(&ctx_));
    PlatFaultDisarmAll();
    DWORD type = 0;
    std::string after = GetData(KV_PD_BIDI_FLAG, &type);
    if (c.type == REG_NONE) {
      EXPECT_EQ("<missing>", after) << "nothing is created";
    } else {
      EXPECT_EQ(c.bytes, after) << "the value is unchanged";
      EXPECT_EQ(c.type, type);
    }
  }
  EXPECT_FALSE(BidiCanWritePrinterData(nullptr));
}
