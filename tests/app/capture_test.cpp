// One run against a scripted navigator: the checks after each paint, the selections a path of
// taps records, the saves of cameras and custom points, the countdown, and clearing the cameras.
// Every test compares the exact requests the navigator received.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app.h"
#include "ce/null/null.h"
#include "tests/app/app_fixture.h"
#include "tests/app/decode.h"
#include "ui/buttons.h"
#include "ui/layout.h"
#include "ui/run_state.h"

namespace {

using apptest::AppTest;
using apptest::Texts;

const char kPosition[] = "0|1|-150000|5211000|90|50|";
const char kDataSet[] = "0|Demo|\\TomTom\\Maps\\Demo\\|0|0|";
const char kLocation[] = "0|-150000|5211000|1|Main Road|12|0|Town (North)|";
const char kIcon[] = "BM icon bytes";
const char kMapDir[] = "TomTom/Maps/Demo/";

// Local date and time as the data text writes them: "yyyyMMdd HHmmss".
std::string Now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char text[32];
  snprintf(text, sizeof text, "%04d%02d%02d %02d%02d%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
  return text;
}

class CaptureTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    peer.SetReply("GetCurrentPositionV01", kPosition);
    peer.SetReply("GetDataSetInfoV01", kDataSet);
    peer.SetReply("GetLocationInfoExV01", kLocation);
    Put("Roadwatchcameras.bmp", kIcon);
    Put(std::string(kMapDir) + "streets.txt", "");
  }

  // Taps the places in order; true once the run has ended.
  bool Taps(const std::vector<int>& places) {
    for (int place : places) {
      if (Ended()) {
        ADD_FAILURE() << "the run ended before the tap on place " << place;
        return true;
      }
      TapPlace(place);
    }
    return Ended();
  }
  // The AddPoiV01 request's fields; empty when there was none.
  std::vector<std::string> AddPoi() const {
    for (const scripted::RecordedRequest& request : peer.Requests())
      if (!request.fields.empty() && request.fields[0] == "AddPoiV01") return request.fields;
    return {};
  }
  // The data items of the saved camera, padding dropped.
  std::vector<std::string> SavedItems() const {
    std::vector<std::string> fields = AddPoi();
    apptest::CameraDescription parsed;
    if (fields.size() != 6 || !apptest::ParseCameraDescription(fields[4], &parsed)) return {};
    std::vector<std::string> items = apptest::SplitItems(parsed.data);
    while (items.size() > 8 && items.back().empty()) items.pop_back();
    return items;
  }
  std::string Codes() const {
    std::vector<std::string> items = SavedItems();
    return items.size() == 8 ? items[5] + ";" + items[6] + ";" + items[7] : "<no camera>";
  }
};

TEST_F(CaptureTest, FirstCameraInAMapFolder) {
  SetDevice(240, 320, "00A1B2C3");
  const std::string before = Now();
  Run();
  ASSERT_TRUE(Taps({1, 3, 1}));  // Gatso, 50 mph, This side
  const std::string after = Now();

  std::vector<std::string> add = AddPoi();
  ASSERT_EQ(add.size(), 6u);
  EXPECT_EQ(Requests(), (Texts{
                            "GetCurrentPositionV01|",
                            "GetDataSetInfoV01|",
                            "GetLocationInfoExV01|-150000|5211000|",
                            "FlashMessageV01|Reloading map... |1500|",
                            "SwitchMapV01|\\TomTom\\Maps\\Demo\\|",
                            "AddPoiV01|Roadwatchcameras|-150000|5211000|" + add[4] + "||",
                            "FlashMessageV01|'Gatso 50 mph' saved |1500|",
                            "MakeUserPoiVisibleV01|Roadwatchcameras|1|",
                        }));
  apptest::CameraDescription parsed;
  ASSERT_TRUE(apptest::ParseCameraDescription(add[4], &parsed)) << add[4];
  EXPECT_EQ(parsed.address, "Main Road, Town");
  EXPECT_EQ(parsed.marker, "01");
  std::vector<std::string> items = SavedItems();
  ASSERT_EQ(items.size(), 8u) << parsed.data;
  EXPECT_EQ(items[0], "90");
  EXPECT_EQ(items[1], "50");
  EXPECT_EQ(items[2], "00A1B2C3");
  EXPECT_EQ(items[3], "N");
  EXPECT_GE(items[4], before);
  EXPECT_LE(items[4], after);
  EXPECT_EQ(Codes(), "1;4;0");
  EXPECT_EQ(parsed.data.size() % 3, 0u) << "padded with ';'";

  EXPECT_TRUE(Exists(std::string(kMapDir) + "Roadwatchcameras.ov2"));
  EXPECT_EQ(Read(std::string(kMapDir) + "Roadwatchcameras.ov2"), "") << "created empty";
  EXPECT_EQ(Read(std::string(kMapDir) + "Roadwatchcameras.bmp"), kIcon);
  EXPECT_FALSE(IsWindow(mainWindow));
  EXPECT_EQ(exitCode_, 0);
  EXPECT_EQ(memoryDC, nullptr);
  EXPECT_EQ(CallsFolder(), Texts{});
}

TEST_F(CaptureTest, SecondCameraInTheSameFolder) {
  Put(std::string(kMapDir) + "Roadwatchcameras.ov2", "earlier points");
  Run();
  ASSERT_TRUE(Taps({1, 3, 2}));
  EXPECT_EQ(CallNames(), (Texts{"GetCurrentPositionV01", "GetDataSetInfoV01", "GetLocationInfoExV01", "AddPoiV01",
                                "FlashMessageV01", "MakeUserPoiVisibleV01"}));
  EXPECT_EQ(Read(std::string(kMapDir) + "Roadwatchcameras.ov2"), "earlier points");
  EXPECT_FALSE(Exists(std::string(kMapDir) + "Roadwatchcameras.bmp")) << "no icon copied";
  EXPECT_EQ(Codes(), "1;4;1");
}

TEST_F(CaptureTest, DeviceWithoutIdentifierAndFailedLocation) {
  peer.SetReply("GetLocationInfoExV01", "0|");
  Run();
  ASSERT_TRUE(Taps({1, 3, 1}));
  std::vector<std::string> add = AddPoi();
  ASSERT_EQ(add.size(), 6u);
  apptest::CameraDescription parsed;
  ASSERT_TRUE(apptest::ParseCameraDescription(add[4], &parsed));
  EXPECT_EQ(parsed.address, ", ") << "empty street and place";
  std::vector<std::string> items = SavedItems();
  ASSERT_EQ(items.size(), 8u);
  EXPECT_EQ(items[2], "No Device ID");
}

TEST_F(CaptureTest, LongStreetAndPlaceArePassedWhole) {
  const std::string street(127, 'S');
  const std::string place = std::string(120, 'P') + "ville12";
  peer.SetReply("GetLocationInfoExV01", "0|-150000|5211000|1|" + street + "|12|0|" + place + "|");
  Run();
  ASSERT_TRUE(Taps({1, 3, 1}));
  std::vector<std::string> add = AddPoi();
  ASSERT_EQ(add.size(), 6u);
  apptest::CameraDescription parsed;
  ASSERT_TRUE(apptest::ParseCameraDescription(add[4], &parsed)) << add[4];
  EXPECT_EQ(parsed.address, street + ", " + place);
  EXPECT_EQ(Codes(), "1;4;0");
}

// ---- the path of taps decides the codes and the saved message ----

struct TapPath {
  const char* name;
  std::vector<int> taps;
  const char* codes;    // type;speed;direction
  const char* message;  // the flashed confirmation
};

class PathTest : public CaptureTest, public ::testing::WithParamInterface<TapPath> {};

TEST_P(PathTest, RecordsTheLastChoiceOfEachKind) {
  const TapPath& path = GetParam();
  Put(std::string(kMapDir) + "Roadwatchcameras.ov2", "");
  Run();
  ASSERT_TRUE(Taps(path.taps));
  EXPECT_EQ(Codes(), path.codes);
  Texts requests = Requests();
  ASSERT_GE(requests.size(), 2u);
  EXPECT_EQ(requests[requests.size() - 2], std::string("FlashMessageV01|") + path.message + "|1500|");
}

INSTANTIATE_TEST_SUITE_P(
    Taps, PathTest,
    ::testing::Values(TapPath{"GatsoFiftyThisSide", {1, 3, 1}, "1;4;0", "'Gatso 50 mph' saved "},
                      TapPath{"MobileVariableOtherSide", {2, 6, 3, 2}, "2;7;1", "'Mobile Variable speed' saved "},
                      TapPath{"TruveloSeventyReversible", {6, 1, 6, 2, 3}, "6;6;2", "'Truvelo 70 mph' saved "},
                      TapPath{"RemoveSkipsTheSpeed", {6, 2, 3}, "7;0;2", "'Remove ' saved "},
                      TapPath{"UnknownTypeUnknownSpeed", {6, 3, 5, 1}, "0;0;0", "'Unknown type Unknown speed' saved "},
                      TapPath{"StartOverKeepsEarlierChoices", {1, 3, 6, 2, 6, 1, 2}, "2;1;1", "'Mobile 20 mph' saved "},
                      TapPath{"RemoveAfterASpeedKeepsIt", {1, 3, 6, 6, 2, 1}, "7;4;0", "'Remove 50 mph' saved "}),
    [](const ::testing::TestParamInfo<TapPath>& info) { return std::string(info.param.name); });

// ---- after each paint ----

TEST_F(CaptureTest, PositionOnceAndMapFolderUntilKnown) {
  // Replies that do not give a usable folder: one field, a result code, an empty folder, a
  // record of the wrong length.
  const char* const unusable[] = {"0|", "3|Demo|\\TomTom\\Maps\\Demo\\|0|0|", "0|Demo||0|0|", "0|Demo|\\X\\|0|"};
  peer.SetReply("GetDataSetInfoV01", unusable[0]);
  Run();
  Texts expect = {"GetCurrentPositionV01|", "GetDataSetInfoV01|"};
  EXPECT_EQ(Requests(), expect);
  for (const char* reply : unusable) {
    EXPECT_EQ(mapFolderKnown, 0) << "after " << reply;
    peer.SetReply("GetDataSetInfoV01", reply);
    InvalidateRect(mainWindow, NULL, FALSE);
    Pump();
    expect.push_back("GetDataSetInfoV01|");
    EXPECT_EQ(Requests(), expect) << "asked again after the paint that followed " << reply;
  }
  EXPECT_EQ(mapFolderKnown, 0);
  peer.SetReply("GetDataSetInfoV01", kDataSet);
  InvalidateRect(mainWindow, NULL, FALSE);
  Pump();
  expect.push_back("GetDataSetInfoV01|");
  EXPECT_EQ(mapFolderKnown, 1);
  EXPECT_STREQ(mapFolder, "\\TomTom\\Maps\\Demo\\");
  InvalidateRect(mainWindow, NULL, FALSE);
  Pump();
  EXPECT_EQ(Requests(), expect) << "known: not asked again; the position is never asked again";
  EXPECT_EQ(capturedPosition.fix, 1);
  EXPECT_EQ(capturedPosition.x, -150000);
  EXPECT_EQ(capturedPosition.y, 5211000);
}

TEST_F(CaptureTest, OneFieldDataSetReplyNeverFilesACameraUnderAnEmptyPrefix) {
  peer.SetReply("GetDataSetInfoV01", "0|");
  Run();
  ASSERT_TRUE(Taps({1, 3, 1}));
  EXPECT_EQ(Requests(), (Texts{
                            "GetCurrentPositionV01|",
                            "GetDataSetInfoV01|",
                            "GetDataSetInfoV01|",  // after the speed page's paint
                            "GetDataSetInfoV01|",  // after the direction page's paint
                            "GetLocationInfoExV01|-150000|5211000|",
                            "FlashMessageV01|Cannot find map folder.|1500|",
                        }));
  EXPECT_FALSE(Exists("Roadwatchcameras.ov2"));
  EXPECT_FALSE(Exists("TomTom/Roadwatchcameras.ov2"));
  EXPECT_FALSE(IsWindow(mainWindow));
  EXPECT_EQ(memoryDC, nullptr) << "ends through the close command";
}

class NoFixTest : public CaptureTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(NoFixTest, FlashesAndEnds) {
  peer.SetReply("GetCurrentPositionV01", GetParam());
  Run();
  EXPECT_TRUE(Ended());
  EXPECT_EQ(Requests(), (Texts{"GetCurrentPositionV01|", "FlashMessageV01|No valid GPS signal!  |3000|"}));
  EXPECT_EQ(GetForegroundWindow(), peer.Window()) << "the navigator is brought forward";
  EXPECT_EQ(FindWindowW(u"TRAPMARKER", nullptr), nullptr);
  EXPECT_EQ(exitCode_, 0);
}

INSTANTIATE_TEST_SUITE_P(Replies, NoFixTest,
                         ::testing::Values("0|0|-150000|5211000|90|50|",  // no fix
                                           "0|",                          // status only: fix stays 0
                                           "0|1|2|3|",                    // wrong field count
                                           "-2|"));

// ---- countdown ----

TEST_F(CaptureTest, CountdownSavesAnUnclassifiedCamera) {
  Put("Trapmarker.ini", "0\r\n1\r\n");
  Put(std::string(kMapDir) + "Roadwatchcameras.ov2", "");
  Run();
  ASSERT_NE(countdownRunning, 0u) << "started after the first paint";
  const Texts first = Requests();
  for (int tick = 1; tick <= 5; ++tick) {
    int frames = apptest::FrameCount(mainWindow);
    EXPECT_EQ(SendMessageW(mainWindow, WM_TIMER, 1, 0), 0);
    EXPECT_EQ(countdownValue, 6 - tick);
    EXPECT_EQ(apptest::FrameCount(mainWindow), frames + 1) << "tick " << tick << " shows its line";
    EXPECT_EQ(Requests(), first) << "tick " << tick;
  }
  SendMessageW(mainWindow, WM_TIMER, 1, 0);
  EXPECT_FALSE(IsWindow(mainWindow)) << "the sixth tick saves";
  EXPECT_EQ(Codes(), "0;0;0");
  Texts requests = Requests();
  ASSERT_GE(requests.size(), 2u);
  EXPECT_EQ(requests[requests.size() - 2], "FlashMessageV01|'Unknown type and speed ' saved |1500|");
  EXPECT_EQ(AddPoi()[1], "Roadwatchcameras");
}

TEST_F(CaptureTest, AnyTouchStopsTheCountdownForGood) {
  Put("Trapmarker.ini", "0\r\n1\r\n");
  Run();
  ASSERT_NE(countdownRunning, 0u);
  int frames = apptest::FrameCount(mainWindow);
  TapAt(5, 5);  // the title band: no place
  EXPECT_EQ(countdownRunning, 0u);
  EXPECT_FALSE(KillTimer(mainWindow, 1)) << "the timer is already stopped";
  EXPECT_EQ(apptest::FrameCount(mainWindow), frames) << "hit result 0 presents nothing yet";
  TapPlace(1);  // Gatso: the page turns and the countdown does not come back
  EXPECT_EQ(currentPage, SpeedPage1);
  EXPECT_EQ(countdownRunning, 0u);
  EXPECT_FALSE(KillTimer(mainWindow, 1));
}

TEST_F(CaptureTest, PointerRestingOverTheScreenIsNoTouch) {
  Put("Trapmarker.ini", "0\r\n1\r\n");
  Run();
  ASSERT_NE(countdownRunning, 0u);
  RECT gatso = placeRect(1);
  ASSERT_TRUE(ce::null::PointerHover((gatso.left + gatso.right) / 2, (gatso.top + gatso.bottom) / 2));
  Pump();
  EXPECT_NE(countdownRunning, 0u) << "a hover does not cancel the countdown";
  EXPECT_EQ(pressedSlot, 0) << "nor press the button under it";
}

TEST_F(CaptureTest, TimerOptionOffStartsNoCountdown) {
  Run();
  EXPECT_EQ(countdownRunning, 0u);
  EXPECT_FALSE(KillTimer(mainWindow, 1));
}

TEST_F(CaptureTest, TimerButtonFlipsTheOptionAndWritesTheFile) {
  Put("Trapmarker.ini", "0\r\n0\r\nFuel\r\n");
  Run();
  ASSERT_FALSE(Taps({1, 3, 5}));  // to the preferences page
  ASSERT_EQ(currentPage, PreferencesPage);
  TapPlace(TimerPlace);
  EXPECT_EQ(timerOption, 1);
  EXPECT_EQ(std::u16string(slotAt(PreferencesPage, TimerPlace)->label), u"Turn timer off");
  EXPECT_EQ(Read("Trapmarker.ini"), "0\r\n1\r\nFuel\r\n");
  EXPECT_EQ(countdownRunning, 0u) << "takes effect at the next start";
  TapPlace(TimerPlace);
  EXPECT_EQ(timerOption, 0);
  EXPECT_EQ(std::u16string(slotAt(PreferencesPage, TimerPlace)->label), u"Turn timer on");
  EXPECT_EQ(Read("Trapmarker.ini"), "0\r\n0\r\nFuel\r\n");
  EXPECT_EQ(currentPage, PreferencesPage);
  EXPECT_FALSE(Ended());
}

// ---- custom points ----

TEST_F(CaptureTest, CustomPointIsFiledUnderItsName) {
  Put("Trapmarker.ini", "0\r\n0\r\nFuel\r\nParking\r\n");
  Run();
  ASSERT_TRUE(Taps({6, 4, 2}));  // page arrow, Custom POI, Parking
  EXPECT_EQ(Requests(), (Texts{
                            "GetCurrentPositionV01|",
                            "GetDataSetInfoV01|",
                            "GetLocationInfoExV01|-150000|5211000|",
                            "AddPoiV01|Parking|-150000|5211000|12 Main Road, Town||",
                            "FlashMessageV01|'Parking' saved |1500|",
                            "MakeUserPoiVisibleV01|Parking|1|",
                        }));
  EXPECT_FALSE(Exists(std::string(kMapDir) + "Roadwatchcameras.ov2"));
  EXPECT_FALSE(Exists(std::string(kMapDir) + "Parking.ov2")) << "the navigator makes its files";
}

TEST_F(CaptureTest, CustomPointNeedsNoMapFolder) {
  Put("Trapmarker.ini", "0\r\n0\r\nFuel\r\n");
  peer.SetReply("GetDataSetInfoV01", "0|");
  Run();
  ASSERT_TRUE(Taps({6, 4, 1}));
  std::vector<std::string> add = AddPoi();
  ASSERT_EQ(add.size(), 6u);
  EXPECT_EQ(add[1], "Fuel");
  EXPECT_EQ(add[4], "12 Main Road, Town");
}

TEST_F(CaptureTest, CustomNameNeverSplitsARequest) {
  // The preferences file may hold the SDK's field separator in a name; sent as it is, it would
  // split the request and the point would be refused or filed wrongly.
  Put("Trapmarker.ini", "0\r\n0\r\nFuel|Diesel\r\n");
  Run();
  ASSERT_TRUE(Taps({6, 4, 1}));
  EXPECT_EQ(Requests(), (Texts{
                            "GetCurrentPositionV01|",
                            "GetDataSetInfoV01|",
                            "GetLocationInfoExV01|-150000|5211000|",
                            "AddPoiV01|Fuel_Diesel|-150000|5211000|12 Main Road, Town||",
                            "FlashMessageV01|'Fuel_Diesel' saved |1500|",
                            "MakeUserPoiVisibleV01|Fuel_Diesel|1|",
                        }));
}

// ---- the navigator went away ----

TEST_F(CaptureTest, NavigatorGoneAtSave) {
  Run();
  ASSERT_FALSE(Taps({1, 3}));
  peer.DestroyNavigatorWindow();
  size_t before = Requests().size();
  EXPECT_TRUE(TapPlace(1));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, u"TomTom Not Running Any More.");
  EXPECT_EQ(Boxes()[0].caption, u"Trapmarker - Error");
  EXPECT_EQ(Boxes()[0].type, static_cast<UINT>(MB_ICONHAND));
  EXPECT_EQ(Requests().size(), before) << "nothing is sent";
  EXPECT_EQ(memoryDC, nullptr);
}

// ---- clearing the cameras ----

struct ClearCase {
  const char* name;
  const char* dataSet;  // reply to GetDataSetInfoV01
  bool fileBefore;
  const char* flash;  // expected flashed text
  bool fileAfter;
};

class ClearTest : public CaptureTest, public ::testing::WithParamInterface<ClearCase> {};

TEST_P(ClearTest, AskedThenFlashedAndEnded) {
  const ClearCase& c = GetParam();
  peer.SetReply("GetDataSetInfoV01", c.dataSet);
  if (c.fileBefore) Put(std::string(kMapDir) + "Roadwatchcameras.ov2", "points");
  Put(std::string(kMapDir) + "Roadwatchcameras.bmp", kIcon);
  Run();
  ASSERT_FALSE(Taps({1, 3, 5}));
  size_t before = Requests().size();
  QueueAnswer(IDYES);
  EXPECT_TRUE(TapPlace(2));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].owner, mainWindow);
  EXPECT_EQ(Boxes()[0].text, u"Are you sure you want to delete all collected cameras?");
  EXPECT_EQ(Boxes()[0].caption, u"Trapmarker");
  EXPECT_EQ(Boxes()[0].type, static_cast<UINT>(MB_YESNO));
  Texts requests = Requests();
  EXPECT_EQ(Texts(requests.begin() + static_cast<long>(before), requests.end()),
            Texts{std::string("FlashMessageV01|") + c.flash + "|1500|"});
  EXPECT_EQ(Exists(std::string(kMapDir) + "Roadwatchcameras.ov2"), c.fileAfter);
  EXPECT_TRUE(Exists(std::string(kMapDir) + "Roadwatchcameras.bmp")) << "the icon stays";
  EXPECT_EQ(memoryDC, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Answers, ClearTest,
                         ::testing::Values(ClearCase{"Deleted", kDataSet, true, "'Roadwatchcameras' deleted ", false},
                                           ClearCase{"Missing", kDataSet, false,
                                                     "Failed to delete '\\TomTom\\Maps\\Demo\\Roadwatchcameras.ov2'.",
                                                     false},
                                           ClearCase{"NoMapFolder", "0|", true, "Cannot find map folder", true}),
                         [](const ::testing::TestParamInfo<ClearCase>& info) { return std::string(info.param.name); });

TEST_F(CaptureTest, ClearAnsweredNoChangesNothing) {
  Put(std::string(kMapDir) + "Roadwatchcameras.ov2", "points");
  Run();
  ASSERT_FALSE(Taps({1, 3, 5}));
  size_t before = Requests().size();
  int frames = apptest::FrameCount(mainWindow);
  QueueAnswer(IDNO);
  EXPECT_FALSE(TapPlace(2));
  EXPECT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(currentPage, PreferencesPage);
  EXPECT_EQ(Requests().size(), before);
  EXPECT_EQ(Read(std::string(kMapDir) + "Roadwatchcameras.ov2"), "points");
  EXPECT_EQ(apptest::FrameCount(mainWindow), frames + 1) << "only the highlight of the press; no repaint";
}

}  // namespace

namespace {

// ---- turned screens ----

class TurnedTest : public CaptureTest, public ::testing::WithParamInterface<int> {};

TEST_P(TurnedTest, TapsLandOnThePlacesShown) {
  const int turn = GetParam();
  Put("Trapmarker.ini", std::to_string(turn) + "\r\n0\r\n");
  Put(std::string(kMapDir) + "Roadwatchcameras.ov2", "");
  Run();
  ASSERT_EQ(orientation, turn);
  EXPECT_EQ(logicalWidth, turn % 2 ? 320 : 240);
  // The title band shows where the turn puts it.
  const uint16_t panelBlue565 = ((96 >> 3) << 11) | ((152 >> 2) << 5) | (200 >> 3);
  POINT title = apptest::ScreenPoint(logicalWidth - 20, 10);
  POINT panel = apptest::ScreenPoint(logicalWidth / 2, titleHeight + 3);
  EXPECT_EQ(apptest::FramePixel(mainWindow, title.x, title.y), panelBlue565) << "title band";
  EXPECT_EQ(apptest::FramePixel(mainWindow, panel.x, panel.y), 0xFFFF) << "white panel";
  ASSERT_TRUE(Taps({2, 3, 3}));  // Mobile, 50 mph, Reversible: wherever the turn shows them
  EXPECT_EQ(Codes(), "2;4;2");
}

INSTANTIATE_TEST_SUITE_P(Orientations, TurnedTest, ::testing::Values(0, 1, 2, 3));

// ---- replies the program does not expect ----

TEST_F(CaptureTest, ReplyWithoutAnyFieldIsReportedAndTheSaveGoesOn) {
  peer.SetReply("GetLocationInfoExV01", "");
  Run();
  ASSERT_TRUE(Taps({1, 3, 1}));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].caption, u"SDK ERROR!");
  std::vector<std::string> add = AddPoi();
  ASSERT_EQ(add.size(), 6u);
  apptest::CameraDescription parsed;
  ASSERT_TRUE(apptest::ParseCameraDescription(add[4], &parsed));
  EXPECT_EQ(parsed.address, ", ");
}

TEST_F(CaptureTest, LongestNamesAndFolderFitTheirBuffers) {
  // A 127-character map folder, a custom name of 63 characters and texts longer than their
  // members in the replies: everything is cut or passed on whole, nothing written past a buffer.
  const std::string folder = "\\TomTom\\Maps\\" + std::string(113, 'M') + "\\";
  ASSERT_EQ(folder.size(), 127u);
  const std::string name(63, 'N');
  peer.SetReply("GetDataSetInfoV01", "0|" + std::string(300, 'D') + "|" + folder + "|0|0|");
  peer.SetReply("GetLocationInfoExV01",
                "0|1|2|3|" + std::string(400, 'S') + "|12|0|" + std::string(400, 'P') + " (x)|");
  Put("Trapmarker.ini", "0\r\n0\r\n" + name + "\r\n");
  Run();
  EXPECT_EQ(std::string(mapFolder), folder);
  ASSERT_TRUE(Taps({6, 4, 1}));
  std::vector<std::string> add = AddPoi();
  ASSERT_EQ(add.size(), 6u);
  EXPECT_EQ(add[1], name);
  EXPECT_EQ(add[4], "12 " + std::string(127, 'S') + ", " + std::string(127, 'P'));
  Texts requests = Requests();
  ASSERT_GE(requests.size(), 2u);
  EXPECT_EQ(requests[requests.size() - 2], "FlashMessageV01|'" + name + "' saved |1500|");
}

}  // namespace
