// Saving and loading the control as containers do: through a stream, and
// through a property bag the way a page's <PARAM> tags arrive.
#include <windows.h>
#include <gtest/gtest.h>

#include <vector>

#include "tests/wine/support/scenario.h"

namespace {

using container::Variant;
using scenario::Wide;

const long kGiB = 1073741824;

struct Persisted {
  std::wstring url, filter;
  long maxTotal, maxFile, maxCount;
  bool serverResponse;
};

Persisted Read(container::HostedControl& control) {
  auto get = [&](const wchar_t* name) {
    Variant value;
    EXPECT_EQ(S_OK, control.Get(name, &value)) << name;
    return value;
  };
  return {get(L"ScriptURL").AsString(),   get(L"Filter").AsString(),
          get(L"MaxTotalSize").AsLong(),  get(L"MaxFileSize").AsLong(),
          get(L"MaxFileCount").AsLong(),  get(L"ServerResponse").AsLong() != 0};
}

void ExpectDefaults(container::HostedControl& control, const std::wstring& url = L"") {
  const Persisted p = Read(control);
  EXPECT_EQ(url, p.url);
  EXPECT_EQ(Wide("모든 파일|*.*|"), p.filter);
  EXPECT_EQ(kGiB, p.maxTotal);
  EXPECT_EQ(kGiB, p.maxFile);
  EXPECT_EQ(100, p.maxCount);
  EXPECT_FALSE(p.serverResponse);
}

void SetAll(container::HostedControl& control) {
  ASSERT_EQ(S_OK, control.Put(L"ScriptURL", Variant::FromString(L"http://127.0.0.1:8080/up.php")));
  ASSERT_EQ(S_OK, control.Put(L"Filter", Variant::FromString(Wide("그림|*.jpg|"))));
  ASSERT_EQ(S_OK, control.Put(L"MaxTotalSize", Variant::FromLong(5000)));
  ASSERT_EQ(S_OK, control.Put(L"MaxFileSize", Variant::FromLong(-7)));
  ASSERT_EQ(S_OK, control.Put(L"MaxFileCount", Variant::FromLong(3)));
  ASSERT_EQ(S_OK, control.Put(L"ServerResponse", Variant::FromBool(true)));
  ASSERT_EQ(S_OK, control.Put(L"ShowProgress", Variant::FromBool(false)));
  ASSERT_EQ(S_OK, control.Put(L"EnablePopupMenu", Variant::FromBool(false)));
}

void ExpectAllSet(container::HostedControl& control) {
  const Persisted p = Read(control);
  EXPECT_EQ(L"http://127.0.0.1:8080/up.php", p.url);
  EXPECT_EQ(Wide("그림|*.jpg|"), p.filter);
  EXPECT_EQ(5000, p.maxTotal);
  EXPECT_EQ(-7, p.maxFile);
  EXPECT_EQ(3, p.maxCount);
  EXPECT_TRUE(p.serverResponse);
}

std::vector<BYTE> StreamBytes(IStream* stream) {
  STATSTG stat{};
  stream->Stat(&stat, STATFLAG_NONAME);
  std::vector<BYTE> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  ULONG got = 0;
  stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got);
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  return bytes;
}

fw::ComPtr<IStream> StreamOf(const std::vector<BYTE>& bytes) {
  fw::ComPtr<IStream> stream;
  ::CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
  ULONG written = 0;
  if (!bytes.empty()) stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  return stream;
}

std::unique_ptr<container::HostedControl> LoadFromStream(const std::vector<BYTE>& bytes, HRESULT* hr) {
  container::HostOptions options;
  options.init = container::Initialise::Stream;
  options.stream = StreamOf(bytes);
  return scenario::HostControl(options, hr);
}

std::unique_ptr<container::HostedControl> LoadFromParams(
    const std::vector<std::pair<std::wstring, std::wstring>>& params, HRESULT* hr) {
  container::HostOptions options;
  options.init = container::Initialise::PropertyBag;
  options.bag = fw::ComPtr<IPropertyBag>(container::MemoryPropertyBag::FromParams(params).get());
  return scenario::HostControl(options, hr);
}

TEST(Persistence, StreamKeepsTheSixPersistedValuesAndNotTheOtherTwo) {
  auto original = scenario::HostControl();
  ASSERT_TRUE(original);
  SetAll(*original);
  EXPECT_EQ(S_OK, original->IsDirty());
  fw::ComPtr<IStream> stream;
  ASSERT_EQ(S_OK, original->SaveToStream(&stream));
  EXPECT_EQ(S_FALSE, original->IsDirty());

  ULARGE_INTEGER sizeMax{};
  auto persist = original->As<IPersistStreamInit>(IID_IPersistStreamInit);
  ASSERT_EQ(S_OK, persist->GetSizeMax(&sizeMax));
  EXPECT_GE(sizeMax.QuadPart, StreamBytes(stream.get()).size());

  HRESULT hr = E_FAIL;
  auto copy = LoadFromStream(StreamBytes(stream.get()), &hr);
  ASSERT_TRUE(copy);
  EXPECT_EQ(S_OK, hr);
  ExpectAllSet(*copy);
  Variant value;
  ASSERT_EQ(S_OK, copy->Get(L"ShowProgress", &value));
  EXPECT_EQ(VARIANT_TRUE, value.get()->boolVal);
  ASSERT_EQ(S_OK, copy->Get(L"EnablePopupMenu", &value));
  EXPECT_EQ(VARIANT_TRUE, value.get()->boolVal);
  EXPECT_EQ(S_FALSE, copy->IsDirty());
}

TEST(Persistence, PropertyBagHoldsVersionExtentAndTheSixValuesByName) {
  auto original = scenario::HostControl();
  ASSERT_TRUE(original);
  SetAll(*original);
  fw::ComPtr<container::MemoryPropertyBag> bag;
  ASSERT_EQ(S_OK, original->SaveToBag(&bag));
  const std::vector<std::wstring> expected = {L"_Version",     L"_ExtentX",    L"_ExtentY",
                                              L"ScriptURL",    L"Filter",      L"MaxTotalSize",
                                              L"MaxFileSize",  L"MaxFileCount", L"ServerResponse"};
  EXPECT_EQ(expected, bag->Names());
  EXPECT_EQ(0x00010000, bag->Find(L"_Version")->AsLong());
  EXPECT_GT(bag->Find(L"_ExtentX")->AsLong(), 0);

  container::HostOptions options;
  options.init = container::Initialise::PropertyBag;
  options.bag = fw::ComPtr<IPropertyBag>(bag.get());
  auto copy = scenario::HostControl(options);
  ASSERT_TRUE(copy);
  ExpectAllSet(*copy);
}

TEST(Persistence, PageParamsArriveAsTextAndAreCoerced) {
  HRESULT hr = E_FAIL;
  auto control = LoadFromParams({{L"ScriptURL", L"http://127.0.0.1/receive.php"},
                                 {L"maxfilecount", L"20"},
                                 {L"MaxFileSize", L"-1"},
                                 {L"ServerResponse", L"-1"}},
                                &hr);
  ASSERT_TRUE(control);
  EXPECT_EQ(S_OK, hr);
  const Persisted p = Read(*control);
  EXPECT_EQ(L"http://127.0.0.1/receive.php", p.url);
  EXPECT_EQ(20, p.maxCount);
  EXPECT_EQ(-1, p.maxFile);
  EXPECT_TRUE(p.serverResponse);
  // What the page left out takes its default.
  EXPECT_EQ(Wide("모든 파일|*.*|"), p.filter);
  EXPECT_EQ(kGiB, p.maxTotal);
}

TEST(Persistence, BagValueOfTheWrongTypeFailsTheLoadAndKeepsTheDefaults) {
  HRESULT hr = S_OK;
  auto control = LoadFromParams({{L"ScriptURL", L"http://kept.not/"},
                                 {L"MaxFileSize", L"12"},
                                 {L"MaxFileCount", L"twenty"}},
                                &hr);
  ASSERT_TRUE(control);
  EXPECT_TRUE(FAILED(hr));
  ExpectDefaults(*control);
}

TEST(Persistence, TruncatedOrCorruptStreamsFailAndKeepTheDefaults) {
  auto original = scenario::HostControl();
  ASSERT_TRUE(original);
  SetAll(*original);
  fw::ComPtr<IStream> stream;
  ASSERT_EQ(S_OK, original->SaveToStream(&stream));
  const std::vector<BYTE> good = StreamBytes(stream.get());
  ASSERT_GT(good.size(), 40u);

  std::vector<std::vector<BYTE>> bad;
  for (size_t cut : {size_t(0), size_t(3), size_t(4), size_t(10), good.size() / 2, good.size() - 1})
    bad.emplace_back(good.begin(), good.begin() + cut);
  std::vector<BYTE> hugeLength = good;  // the record claims far more than is there
  hugeLength[0] = hugeLength[1] = hugeLength[2] = 0xFF;
  hugeLength[3] = 0x0F;
  bad.push_back(hugeLength);
  std::vector<BYTE> shortRecord = good;  // claims less than the values need
  shortRecord[0] = 8;
  shortRecord[1] = shortRecord[2] = shortRecord[3] = 0;
  bad.push_back(shortRecord);
  std::vector<BYTE> badBoolean = good;  // ServerResponse is the record's last value
  badBoolean.back() = 7;
  bad.push_back(badBoolean);

  for (size_t i = 0; i < bad.size(); ++i) {
    HRESULT hr = S_OK;
    auto control = LoadFromStream(bad[i], &hr);
    ASSERT_TRUE(control) << i;
    EXPECT_TRUE(FAILED(hr)) << i;
    ExpectDefaults(*control);
  }
}

TEST(Persistence, StreamOfAnotherVersionIsReadAndWrittenBackAsOneZero) {
  auto original = scenario::HostControl();
  ASSERT_TRUE(original);
  SetAll(*original);
  fw::ComPtr<IStream> stream;
  ASSERT_EQ(S_OK, original->SaveToStream(&stream));
  std::vector<BYTE> bytes = StreamBytes(stream.get());
  // Bytes 4..7 hold the version after the length prefix: 1.0 is 0x00010000.
  ASSERT_EQ((std::vector<BYTE>{0x00, 0x00, 0x01, 0x00}), std::vector<BYTE>(bytes.begin() + 4, bytes.begin() + 8));
  bytes[4] = 0x03;
  bytes[6] = 0x02;  // version 2.3

  HRESULT hr = E_FAIL;
  auto control = LoadFromStream(bytes, &hr);
  ASSERT_TRUE(control);
  EXPECT_EQ(S_OK, hr);
  ExpectAllSet(*control);
  fw::ComPtr<IStream> again;
  ASSERT_EQ(S_OK, control->SaveToStream(&again));
  const std::vector<BYTE> rewritten = StreamBytes(again.get());
  EXPECT_EQ((std::vector<BYTE>{0x00, 0x00, 0x01, 0x00}),
            std::vector<BYTE>(rewritten.begin() + 4, rewritten.begin() + 8));
}

TEST(Persistence, ResetRestoresEveryDefaultButTheScriptUrl) {
  auto control = scenario::HostControl();
  ASSERT_TRUE(control);
  SetAll(*control);
  auto persist = control->As<IPersistStreamInit>(IID_IPersistStreamInit);
  ASSERT_EQ(S_OK, persist->InitNew());
  ExpectDefaults(*control, L"http://127.0.0.1:8080/up.php");
  EXPECT_EQ(S_FALSE, control->IsDirty());
}

TEST(Persistence, VeryLongTextSurvivesAStreamRoundTrip) {
  auto original = scenario::HostControl();
  ASSERT_TRUE(original);
  const std::wstring megabyte(1024 * 1024, L'f');
  ASSERT_EQ(S_OK, original->Put(L"Filter", Variant::FromString(megabyte)));
  fw::ComPtr<IStream> stream;
  ASSERT_EQ(S_OK, original->SaveToStream(&stream));
  HRESULT hr = E_FAIL;
  auto copy = LoadFromStream(StreamBytes(stream.get()), &hr);
  ASSERT_TRUE(copy);
  EXPECT_EQ(S_OK, hr);
  EXPECT_EQ(megabyte, Read(*copy).filter);
}

}  // namespace
