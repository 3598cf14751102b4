// CWriter and CXMLWriter: the bytes of the dialect, the registry switches,
// directories, byte counts and concurrent callers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <set>

#include <limits>
#include <thread>

#include "base/strings.h"
#include "temp_home.h"
#include "win/file.h"
#include "win/registry.h"
#include "xmlweave/writer.h"
#include "xmlweave/xmlwriter.h"

using namespace xmlweave;

namespace {

std::string ReadAll(const std::string& path) {
  std::vector<uint8_t> bytes;
  win::ReadWholeFile(path, bytes);
  return std::string(bytes.begin(), bytes.end());
}

void SetSwitches(DWORD cr, DWORD tab) {
  win::RegKey k;
  ASSERT_EQ(k.Create(HKEY_LOCAL_MACHINE, kSettingsKey), ERROR_SUCCESS);
  k.SetDword(kEnableCrValue, cr);
  k.SetDword(kEnableTabValue, tab);
}

void WriteSample(CWriter& w) {
  const int32_t flags[] = {1, 2, 3};
  w.StartDocument("Project", "2.1");
  w.WriteBeginElement("Device");
  w.WriteElement(TAG_STRING, "Name", "Hall & Stairs");
  w.WriteElement(TAG_LONG, "Address", "4354");
  w.WriteLongArrayElement("Flags", 3, flags);
  w.WriteEndElement("Device");
  w.WriteCommentElement("end");
}

com::ComPtr<IXMLWriter> MakeWriter() {
  com::ComPtr<IXMLWriter> w;
  EXPECT_EQ(com::CreateInstance<CXMLWriter>(nullptr, nullptr, IXMLWriter::iid, w.PpvSlot()), S_OK);
  return w;
}

class XmlWriterTest : public ::testing::Test {
 protected:
  testsupport::TempHome home;
  testsupport::TempDir dir;
};

}  // namespace

TEST_F(XmlWriterTest, SampleWithAndWithoutFormatting) {
  const std::string path = dir.File("sample.xml");
  CWriter w{TraceChannel("CWriter", nullptr)};
  ASSERT_EQ(w.CreateFile(path, true, true), S_OK);
  WriteSample(w);
  ASSERT_EQ(w.Close(), S_OK);
  EXPECT_EQ(ReadAll(path),
            "<?xml version=\"1.0\"?>\r\n<Project>\r\n\t<schemaversion>2.1</schemaversion>\r\n"
            "\t<Device>\r\n\t\t<Name t=\"s\">Hall &amp; Stairs</Name>\r\n"
            "\t\t<Address t=\"i4\">4354</Address>\r\n\t\t<Flags t=\"la\">1,2,3</Flags>\r\n"
            "\t</Device>\r\n\t<!-- end -->\r\n</Project>\r\n");
  EXPECT_EQ(w.ByteCount(), 226u);
  EXPECT_EQ(ReadAll(path).size(), 226u);

  w.SetByteCount(0);
  ASSERT_EQ(w.CreateFile(path, false, false), S_OK);
  WriteSample(w);
  ASSERT_EQ(w.Close(), S_OK);
  EXPECT_EQ(w.ByteCount(), 196u);
  EXPECT_EQ(ReadAll(path).size(), 196u);
  EXPECT_EQ(ReadAll(path).find('\n'), std::string::npos);
  EXPECT_EQ(ReadAll(path).substr(196 - 22), "<!-- end --></Project>");
}

TEST_F(XmlWriterTest, ElementForms) {
  const std::string path = dir.File("forms.xml");
  CWriter w{TraceChannel("CWriter", nullptr)};
  ASSERT_EQ(w.CreateFile(path, false, false), S_OK);
  const uint8_t byte = 7;
  EXPECT_EQ(w.WriteElement(TAG_STRING, "S", nullptr), S_OK);
  EXPECT_EQ(w.WriteByteArrayElement("B", 0, &byte), S_OK);
  EXPECT_EQ(w.WriteByteArrayElement("N", 1, nullptr), S_OK);
  EXPECT_EQ(w.WriteLongArrayElement("L", 0, reinterpret_cast<const int32_t*>(&byte)), S_OK);
  EXPECT_EQ(w.WriteElement(TAG_STRING, "C", "\x07\x1B\xFC"), S_OK);
  EXPECT_EQ(w.WriteElement(TAG_STRING, nullptr, "x"), E_INVALIDARG);
  EXPECT_EQ(w.WriteBeginElement(nullptr), E_INVALIDARG);
  EXPECT_EQ(w.WriteEndElement(nullptr), E_INVALIDARG);
  EXPECT_EQ(w.WriteCommentElement(nullptr), E_INVALIDARG);
  EXPECT_EQ(w.StartDocument(nullptr, "1"), E_INVALIDARG);
  ASSERT_EQ(w.Close(), S_OK);
  EXPECT_EQ(ReadAll(path),
            "<S t=\"s\"/><B t=\"64Bin\"></B><N t=\"64Bin\"/><L t=\"la\"></L>"
            "<C t=\"s\">&#x7;&#x1B;&#xFC;</C></>");
}

TEST_F(XmlWriterTest, DepthBelowOneWritesNoIndentation) {
  const std::string path = dir.File("depth.xml");
  CWriter w{TraceChannel("CWriter", nullptr)};
  ASSERT_EQ(w.CreateFile(path, true, false), S_OK);
  w.StartDocument("R", "1");
  w.WriteEndElement("a");
  w.WriteEndElement("b");
  w.WriteElement(TAG_BOOL, "v", "1");
  w.Close();
  EXPECT_EQ(ReadAll(path),
            "<?xml version=\"1.0\"?><R>\t<schemaversion>1</schemaversion></a></b>"
            "<v t=\"b\">1</v></R>");
}

TEST_F(XmlWriterTest, OperationsWithoutFileFail) {
  CWriter w{TraceChannel("CWriter", nullptr)};
  EXPECT_EQ(w.Write("x"), E_FAIL);
  EXPECT_EQ(w.WriteBeginElement("x"), E_FAIL);
  EXPECT_EQ(w.Close(), S_OK);
  EXPECT_EQ(w.CreateFile("", true, true), E_INVALIDARG);
}

TEST_F(XmlWriterTest, MissingDirectoriesAreCreated) {
  CWriter w{TraceChannel("CWriter", nullptr)};
  const std::string path = dir.File("New/Sub/out.xml");
  ASSERT_EQ(w.CreateFile(path, false, false), S_OK);
  w.StartDocument("R", "1");
  ASSERT_EQ(w.Close(), S_OK);
  EXPECT_TRUE(win::FileExists(path));

  // A relative path with a single separator has no directory to create.
  char old[4096];
  ASSERT_TRUE(getcwd(old, sizeof old));
  ASSERT_EQ(chdir(dir.Path().c_str()), 0);
  EXPECT_EQ(w.CreateFile("NewDir/out.xml", false, false), E_FAIL);
  EXPECT_EQ(w.CreatePathDirectories("file.xml"), E_FAIL);
  ASSERT_EQ(chdir(old), 0);
}

TEST_F(XmlWriterTest, ExistingFileIsReplacedWhole) {
  const std::string path = dir.File("old.xml");
  ASSERT_EQ(win::WriteFileAtomic(path, std::string(10000, 'x')), ERROR_SUCCESS);
  CWriter w{TraceChannel("CWriter", nullptr)};
  ASSERT_EQ(w.CreateFile(path, false, false), S_OK);
  w.StartDocument("R", "1");
  // Until the document is closed the old content stays.
  EXPECT_EQ(ReadAll(path).size(), 10000u);
  ASSERT_EQ(w.Close(), S_OK);
  EXPECT_EQ(ReadAll(path), "<?xml version=\"1.0\"?><R><schemaversion>1</schemaversion></R>");
}

TEST_F(XmlWriterTest, FailedWritesAreReportedAndLeaveTheOldFile) {
  const std::string path = dir.File("doc.xml");
  ASSERT_EQ(win::WriteFileAtomic(path, std::string("good")), ERROR_SUCCESS);
  CWriter w{TraceChannel("CWriter", nullptr)};
  ASSERT_EQ(w.CreateFile(path, false, false), S_OK);
  w.StartDocument("R", "1");
  // Files may not grow beyond 1000 bytes: the first flush fails.
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 1000;
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  HRESULT first = S_OK;
  const std::string text(1000, 'x');
  for (int i = 0; i < 100; ++i) {
    HRESULT hr = w.WriteElement(TAG_STRING, "s", text.c_str());
    if (FAILED(hr) && SUCCEEDED(first)) first = hr;
  }
  HRESULT closed = w.Close();
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(FAILED(first));
  EXPECT_TRUE(FAILED(closed));
  EXPECT_EQ(ReadAll(path), "good");
  auto entries =
      std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator());
  EXPECT_EQ(entries, 1);  // no temporary file is left behind
}

TEST_F(XmlWriterTest, LargeDocumentsAreBufferedAndComplete) {
  const std::string path = dir.File("big.xml");
  CWriter w{TraceChannel("CWriter", nullptr)};
  ASSERT_EQ(w.CreateFile(path, true, true), S_OK);
  w.StartDocument("R", "1");
  std::string big(200000, 'q');
  for (int i = 0; i < 1000; ++i) w.WriteElement(TAG_LONG, "n", "12345");
  w.WriteElement(TAG_STRING, "s", big.c_str());
  w.WriteTab(100);
  ASSERT_EQ(w.Close(), S_OK);
  EXPECT_EQ(ReadAll(path).size(), w.ByteCount());
}

// Every line is assembled at once when it fits; deep indents, lines near a
// buffer flush and lines longer than the buffer take other paths, and all
// must give the same bytes.
TEST_F(XmlWriterTest, LinesKeepTheirBytesAtEveryDepthAndAcrossFlushes) {
  const std::string path = dir.File("lines.xml");
  CWriter w{TraceChannel("CWriter", nullptr)};
  ASSERT_EQ(w.CreateFile(path, true, true), S_OK);
  w.StartDocument("R", "1");
  std::string expected = "<?xml version=\"1.0\"?>\r\n<R>\r\n\t<schemaversion>1</schemaversion>\r\n";
  const auto tabs = [](int n) { return std::string(size_t(n), '\t'); };
  for (int d = 1; d <= 40; ++d) {
    w.WriteBeginElement("g");
    expected += tabs(d) + "<g>\r\n";
    w.WriteElement(TAG_LONG, "n", "7");
    expected += tabs(d + 1) + "<n t=\"i4\">7</n>\r\n";
  }
  // Names and values of every length up to past the short copies.
  for (size_t n = 1; n <= 20; ++n) {
    const std::string name(n, char('a' + n)), text = std::string(n - 1, 'x') + char('A' + n);
    w.WriteElement(TAG_STRING, name.c_str(), text.c_str());
    expected += tabs(41) + "<" + name + " t=\"s\">" + text + "</" + name + ">\r\n";
  }
  const std::string value(70000, 'v');  // longer than a flush, shorter than the buffer
  const std::string huge(300000, 'h');  // longer than the whole buffer
  for (int i = 0; i < 5; ++i) {
    w.WriteElement(TAG_STRING, "s", value.c_str());
    expected += tabs(41) + "<s t=\"s\">" + value + "</s>\r\n";
    w.WriteElement(TAG_STRING, "s", huge.c_str());
    expected += tabs(41) + "<s t=\"s\">" + huge + "</s>\r\n";
  }
  for (int d = 40; d >= 1; --d) {
    w.WriteEndElement("g");
    expected += tabs(d) + "</g>\r\n";
  }
  ASSERT_EQ(w.Close(), S_OK);
  expected += "</R>\r\n";
  EXPECT_EQ(ReadAll(path), expected);
  EXPECT_EQ(w.ByteCount(), expected.size());
}

TEST_F(XmlWriterTest, MissingSwitchesAreCreatedWithZero) {
  auto w = MakeWriter();
  const std::string path = dir.File("one.xml");
  ASSERT_EQ(w->WriteFileW(base::Utf8ToUtf16(path).c_str()), S_OK);
  win::RegKey k;
  ASSERT_EQ(k.Open(HKEY_LOCAL_MACHINE, kSettingsKey), ERROR_SUCCESS);
  DWORD cr = 9, tab = 9;
  EXPECT_EQ(k.GetDword(kEnableCrValue, cr), ERROR_SUCCESS);
  EXPECT_EQ(k.GetDword(kEnableTabValue, tab), ERROR_SUCCESS);
  EXPECT_EQ(cr, 0u);
  EXPECT_EQ(tab, 0u);
  w->StartDocumentA("R", "1");
  w->StartElementA("a");
  w->StartElementLongA("N", 7);
  w->EndElementA("a");
  ASSERT_EQ(w->EndDocument(), S_OK);
  EXPECT_EQ(ReadAll(path),
            "<?xml version=\"1.0\"?><R><schemaversion>1</schemaversion><a><N t=\"i4\">7</N></a></R>");
}

TEST_F(XmlWriterTest, ReadOnlyRegistryLeavesSwitchesOff) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the super-user";
  const std::string regdir = home.Path() + "/registry";
  win::CreateDirectories(regdir);
  ASSERT_EQ(chmod(regdir.c_str(), 0555), 0);
  win::RegistryFlushCache();
  auto w = MakeWriter();
  const std::string path = dir.File("ro.xml");
  EXPECT_EQ(w->WriteFileW(base::Utf8ToUtf16(path).c_str()), S_OK);
  w->StartDocumentA("R", "1");
  EXPECT_EQ(w->EndDocument(), S_OK);
  chmod(regdir.c_str(), 0755);
  EXPECT_EQ(ReadAll(path), "<?xml version=\"1.0\"?><R><schemaversion>1</schemaversion></R>");
}

TEST_F(XmlWriterTest, ObjectMethodsAndByteCount) {
  SetSwitches(1, 1);
  auto w = MakeWriter();
  EXPECT_EQ(w->StartDocumentA("R", "1"), E_FAIL);
  EXPECT_EQ(w->StartElementLongA("N", 1), E_FAIL);
  EXPECT_EQ(w->WriteFileW(nullptr), E_POINTER);
  const std::string path = dir.File("obj.xml");
  ASSERT_EQ(w->WriteFileW(base::Utf8ToUtf16(path).c_str()), S_OK);
  EXPECT_EQ(w->StartDocumentA("R", nullptr), E_POINTER);
  EXPECT_EQ(w->StartDocumentA("R", "1"), S_OK);
  EXPECT_EQ(w->StartElementLongA(nullptr, 1), E_INVALIDARG);
  EXPECT_EQ(w->CommentA(nullptr), E_INVALIDARG);
  EXPECT_EQ(w->get_ByteCount(nullptr), E_POINTER);

  EXPECT_EQ(w->put_ByteCount(0), S_OK);
  EXPECT_EQ(w->StartElementLongA("N", 7), S_OK);
  int32_t count = 0;
  EXPECT_EQ(w->get_ByteCount(&count), S_OK);
  EXPECT_EQ(count, 18);

  const uint8_t byte = 1;
  EXPECT_EQ(w->StartElementBoolA("On", 2), S_OK);
  EXPECT_EQ(w->StartElementLongA("N", -5), S_OK);
  EXPECT_EQ(w->StartElementStringA("S", nullptr), S_OK);
  EXPECT_EQ(w->StartElementByteArrayA("B", 0, &byte), S_OK);
  EXPECT_EQ(w->StartElementFloatA("F", 0.1f), S_OK);
  EXPECT_EQ(w->EndDocument(), S_OK);
  // After EndDocument the flag stays set and the writer answers E_FAIL.
  EXPECT_EQ(w->StartElementLongA("N", 1), E_FAIL);
  EXPECT_EQ(ReadAll(path),
            "<?xml version=\"1.0\"?>\r\n<R>\r\n\t<schemaversion>1</schemaversion>\r\n"
            "\t<N t=\"i4\">7</N>\r\n\t<On t=\"b\">1</On>\r\n\t<N t=\"i4\">-5</N>\r\n"
            "\t<S t=\"s\"/>\r\n\t<B t=\"64Bin\"></B>\r\n\t<F t=\"r4\">0.1</F>\r\n</R>\r\n");
}

TEST_F(XmlWriterTest, FailedWriteFileClearsTheFlag) {
  auto w = MakeWriter();
  ASSERT_EQ(w->WriteFileW(base::Utf8ToUtf16(dir.File("a.xml")).c_str()), S_OK);
  EXPECT_EQ(w->WriteFileW(base::Utf8ToUtf16(dir.Path()).c_str()), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
  EXPECT_EQ(w->StartDocumentA("R", "1"), E_FAIL);
  EXPECT_EQ(w->WriteFileW(base::Utf8ToUtf16(dir.File("b.xml")).c_str()), S_OK);
  EXPECT_EQ(w->StartDocumentA("R", "1"), S_OK);
}

TEST_F(XmlWriterTest, TwoThreadsInterleaveWholeCalls) {
  SetSwitches(1, 1);
  auto w = MakeWriter();
  const std::string path = dir.File("threads.xml");
  ASSERT_EQ(w->WriteFileW(base::Utf8ToUtf16(path).c_str()), S_OK);
  w->StartDocumentA("R", "1");
  auto work = [&](const char* name, const char* text) {
    for (int i = 0; i < 2000; ++i) w->StartElementStringA(name, text);
  };
  std::string a(300, 'a'), b(300, 'b');
  std::thread t1(work, "A", a.c_str()), t2(work, "B", b.c_str());
  t1.join();
  t2.join();
  ASSERT_EQ(w->EndDocument(), S_OK);
  const std::string lineA = "\t<A t=\"s\">" + a + "</A>\r\n";
  const std::string lineB = "\t<B t=\"s\">" + b + "</B>\r\n";
  std::string text = ReadAll(path);
  size_t pos = text.find("\t<", text.find("</schemaversion>"));
  int countA = 0, countB = 0;
  while (text.compare(pos, lineA.size(), lineA) == 0 || text.compare(pos, lineB.size(), lineB) == 0) {
    (text[pos + 2] == 'A' ? countA : countB)++;
    pos += lineA.size();
  }
  EXPECT_EQ(countA, 2000);
  EXPECT_EQ(countB, 2000);
  EXPECT_EQ(text.substr(pos), "</R>\r\n");
}

// Targets that are not regular files, hard links and paths with '\'.

namespace {

std::set<std::string> Entries(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

const char kSmallDocument[] = "<?xml version=\"1.0\"?><R><schemaversion>1</schemaversion></R>";

HRESULT WriteSmall(CWriter& w, const std::string& path) {
  HRESULT hr = w.CreateFile(path, false, false);
  if (FAILED(hr)) return hr;
  w.StartDocument("R", "1");
  return w.Close();
}

}  // namespace

TEST_F(XmlWriterTest, AFifoIsWrittenInPlace) {
  const std::string fifo = dir.File("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  std::string received;
  std::thread reader([&] {
    int fd = open(fifo.c_str(), O_RDONLY);
    char buf[4096];
    for (ssize_t n; fd >= 0 && (n = read(fd, buf, sizeof buf)) > 0;) received.append(buf, size_t(n));
    if (fd >= 0) close(fd);
  });
  CWriter w{TraceChannel("CWriter", nullptr)};
  HRESULT hr = WriteSmall(w, fifo);
  reader.join();
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(received, kSmallDocument);
  struct stat st {};
  ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));  // not replaced by a regular file
  EXPECT_EQ(Entries(dir.Path()), std::set<std::string>({"pipe"}));
}

TEST_F(XmlWriterTest, DevNullStaysADevice) {
  // As the super-user the rename would succeed and replace /dev/null.
  struct stat before {};
  ASSERT_EQ(stat("/dev/null", &before), 0);
  ASSERT_TRUE(S_ISCHR(before.st_mode));
  CWriter w{TraceChannel("CWriter", nullptr)};
  EXPECT_EQ(WriteSmall(w, "/dev/null"), S_OK);
  // Through a symbolic link too: the device it names is written.
  const std::string link = dir.File("null");
  ASSERT_EQ(symlink("/dev/null", link.c_str()), 0);
  EXPECT_EQ(WriteSmall(w, link), S_OK);
  struct stat after {};
  ASSERT_EQ(stat("/dev/null", &after), 0);
  EXPECT_TRUE(S_ISCHR(after.st_mode));
  EXPECT_EQ(after.st_rdev, before.st_rdev);
  EXPECT_EQ(after.st_ino, before.st_ino);
  ASSERT_EQ(lstat(link.c_str(), &after), 0);
  EXPECT_TRUE(S_ISLNK(after.st_mode));
  EXPECT_FALSE(win::FileExists("/dev/null.~XXXXXX"));
  for (const auto& e : std::filesystem::directory_iterator("/dev"))
    EXPECT_EQ(e.path().filename().string().rfind("null.~", 0), std::string::npos) << e.path();
}

TEST_F(XmlWriterTest, AbandonedDocumentReplacesNothing) {
  const std::string path = dir.File("keep.xml");
  ASSERT_EQ(win::WriteFileAtomic(path, std::string("good")), ERROR_SUCCESS);
  CWriter w{TraceChannel("CWriter", nullptr)};
  ASSERT_EQ(w.CreateFile(path, false, false), S_OK);
  w.StartDocument("R", "1");
  w.WriteElement(TAG_STRING, "s", std::string(200000, 'x').c_str());  // flushed in part
  w.Abandon();
  EXPECT_FALSE(w.IsOpen());
  EXPECT_EQ(w.Close(), S_OK);  // nothing left to end
  EXPECT_EQ(ReadAll(path), "good");
  EXPECT_EQ(Entries(dir.Path()), std::set<std::string>({"keep.xml"}));
  // The writer is usable again afterwards.
  EXPECT_EQ(WriteSmall(w, path), S_OK);
  EXPECT_EQ(ReadAll(path), kSmallDocument);
}

TEST_F(XmlWriterTest, LeftoversOfAKilledWriterGoWithTheNextWrite) {
  const std::string path = dir.File("doc.xml");
  ASSERT_EQ(win::WriteFileAtomic(path, std::string("old")), ERROR_SUCCESS);
  // Writers whose process ends before Close; each one's write removes what
  // the one before left.
  std::string leftover;
  for (int i = 0; i < 2; ++i) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      CWriter w{TraceChannel("CWriter", nullptr)};
      if (FAILED(w.CreateFile(path, false, false))) _exit(1);
      w.StartDocument("R", "1");
      w.WriteElement(TAG_STRING, "s", std::string(100000, 'x').c_str());
      _exit(0);  // no destructor, no Close
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::set<std::string> names = Entries(dir.Path());
    ASSERT_EQ(names.size(), 2u);  // doc.xml and one doc.xml.~XXXXXX
    names.erase("doc.xml");
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names.begin()->rfind("doc.xml.~", 0), 0u) << *names.begin();
    EXPECT_NE(*names.begin(), leftover);
    leftover = *names.begin();
    EXPECT_EQ(ReadAll(path), "old");
  }

  CWriter w{TraceChannel("CWriter", nullptr)};
  ASSERT_EQ(WriteSmall(w, path), S_OK);
  EXPECT_EQ(ReadAll(path), kSmallDocument);
  EXPECT_EQ(Entries(dir.Path()), std::set<std::string>({"doc.xml"}));
}

TEST_F(XmlWriterTest, OnlyUnheldTemporariesOfTheSameTargetAreRemoved) {
  const std::string path = dir.File("doc.xml");
  const std::string content = "not ours to remove";
  auto put = [&](const std::string& name) {
    ASSERT_EQ(win::WriteFileAtomic(dir.File(name), content), ERROR_SUCCESS);
  };
  put("doc.xml.~Stale1");    // a leftover: goes
  put("doc.xml.~abc");       // too short
  put("doc.xml.~abc1234");   // too long
  put("doc.xml.~ab-123");    // not letters and digits
  put("doc.xml~.abc123");    // another mark
  put("other.xml.~Abc123");  // another target
  put("xdoc.xml.~Abc123");
  put("doc.xml.~Held12");  // held by a live writer (its lock): stays
  ASSERT_EQ(mkdir(dir.File("doc.xml.~Dir123").c_str(), 0755), 0);
  ASSERT_EQ(symlink(dir.File("other.xml.~Abc123").c_str(), dir.File("doc.xml.~Lnk123").c_str()), 0);
  ASSERT_EQ(mkfifo(dir.File("doc.xml.~Fifo12").c_str(), 0644), 0);
  int held = open(dir.File("doc.xml.~Held12").c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);

  CWriter w{TraceChannel("CWriter", nullptr)};
  ASSERT_EQ(WriteSmall(w, path), S_OK);
  close(held);
  EXPECT_EQ(
      Entries(dir.Path()),
      std::set<std::string>({"doc.xml", "doc.xml.~abc", "doc.xml.~abc1234", "doc.xml.~ab-123",
                             "doc.xml~.abc123", "other.xml.~Abc123", "xdoc.xml.~Abc123", "doc.xml.~Held12",
                             "doc.xml.~Dir123", "doc.xml.~Lnk123", "doc.xml.~Fifo12"}));
  EXPECT_EQ(ReadAll(dir.File("other.xml.~Abc123")), content);  // not through the link either
  // Released, the held one is a leftover like any other.
  ASSERT_EQ(WriteSmall(w, path), S_OK);
  EXPECT_FALSE(win::FileExists(dir.File("doc.xml.~Held12")));
}

TEST_F(XmlWriterTest, TwoOpenWritersOfOneTargetKeepEachOthersTemporaries) {
  const std::string path = dir.File("both.xml");
  CWriter first{TraceChannel("CWriter", nullptr)};
  CWriter second{TraceChannel("CWriter", nullptr)};
  ASSERT_EQ(first.CreateFile(path, false, false), S_OK);
  first.StartDocument("First", "1");
  ASSERT_EQ(second.CreateFile(path, false, false), S_OK);  // cleans up: must spare `first`
  second.StartDocument("Second", "1");
  EXPECT_EQ(Entries(dir.Path()).size(), 2u);
  EXPECT_EQ(first.Close(), S_OK);
  EXPECT_EQ(ReadAll(path), "<?xml version=\"1.0\"?><First><schemaversion>1</schemaversion></First>");
  EXPECT_EQ(second.Close(), S_OK);
  EXPECT_EQ(ReadAll(path), "<?xml version=\"1.0\"?><Second><schemaversion>1</schemaversion></Second>");
  EXPECT_EQ(Entries(dir.Path()), std::set<std::string>({"both.xml"}));
}

TEST_F(XmlWriterTest, AHardLinkKeepsTheOldContent) {
  // The new document is a new file under the target's name; the other name
  // of the old file still shows the old content (documented).
  const std::string path = dir.File("a.xml"), alias = dir.File("b.xml");
  ASSERT_EQ(win::WriteFileAtomic(path, std::string("old")), ERROR_SUCCESS);
  ASSERT_EQ(link(path.c_str(), alias.c_str()), 0);
  CWriter w{TraceChannel("CWriter", nullptr)};
  ASSERT_EQ(WriteSmall(w, path), S_OK);
  EXPECT_EQ(ReadAll(path), kSmallDocument);
  EXPECT_EQ(ReadAll(alias), "old");
}

TEST_F(XmlWriterTest, BackslashesSeparateFoldersAsSlashesDo) {
  CWriter w{TraceChannel("CWriter", nullptr)};
  const std::string path = dir.Path() + "\\New\\Sub/out.xml";
  ASSERT_EQ(WriteSmall(w, path), S_OK);
  EXPECT_EQ(ReadAll(dir.File("New/Sub/out.xml")), kSmallDocument);
  EXPECT_TRUE(win::DirectoryExists(dir.File("New/Sub")));
  EXPECT_EQ(Entries(dir.Path()), std::set<std::string>({"New"}));  // no "…\New\Sub" names
  EXPECT_EQ(w.CreatePathDirectories(dir.Path() + "\\Other\\Deeper\\x.xml"), S_OK);
  EXPECT_TRUE(win::DirectoryExists(dir.File("Other/Deeper")));
  // The COM object takes such paths too.
  auto obj = MakeWriter();
  ASSERT_EQ(obj->WriteFileW(base::Utf8ToUtf16(dir.Path() + "\\Com\\c.xml").c_str()), S_OK);
  obj->StartDocumentA("R", "1");
  ASSERT_EQ(obj->EndDocument(), S_OK);
  EXPECT_TRUE(win::FileExists(dir.File("Com/c.xml")));
}

TEST_F(XmlWriterTest, FloatsThatAreNotFiniteAreWrittenReadably) {
  auto w = MakeWriter();
  const std::string path = dir.File("f.xml");
  ASSERT_EQ(w->WriteFileW(base::Utf8ToUtf16(path).c_str()), S_OK);
  w->StartDocumentA("R", "1");
  const float inf = std::numeric_limits<float>::infinity();
  w->StartElementFloatA("a", inf);
  w->StartElementFloatA("b", -inf);
  w->StartElementFloatA("c", std::numeric_limits<float>::quiet_NaN());
  w->StartElementFloatA("d", -3.4028235e38f);
  ASSERT_EQ(w->EndDocument(), S_OK);
  EXPECT_EQ(ReadAll(path),
            "<?xml version=\"1.0\"?><R><schemaversion>1</schemaversion><a t=\"r4\">inf</a>"
            "<b t=\"r4\">-inf</b><c t=\"r4\">nan</c><d t=\"r4\">-3.402823e+38</d></R>");
}
