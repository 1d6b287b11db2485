#include "tests/scripted_peer/scripted_peer.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "sdk/transport/file_channel.h"
#include "sdk/transport/sdk_file.h"
#include "sdk/transport/sdk_message.h"

namespace scripted {

const char kServerName[] = "TomTomNavigationServer";
const WCHAR kWindowClass[] = TEXT("MunichWinClass");
const char kRepliesFileName[] = "scripted-navigator.replies";
const char kLogFileName[] = "scripted-navigator.log";

namespace {

// A full reply for every call: result code 0 and each result field in its type.
const char* const kDefaultReplies[][2] = {
    {"GetRouteCoordinatesV01", "0|2|100|200|300|400|"},
    {"StopApplicationV01", "0|"},
    {"GetApplicationVersionV01", "0|7.45|9100|"},
    {"FlashMessageV01", "0|"},
    {"GetDataSetInfoV01", "0|Demo|\\Maps\\Demo\\|1|0|"},
    {"GetUniqueDeviceIdV01", "0|00A1B2C3|1|"},
    {"NavigateToCoordinatesV01", "0|"},
    {"NavigateToFavoriteV01", "0|"},
    {"NavigateToAddressV01", "0|"},
    {"ShowAddressOnMapV01", "0|"},
    {"ShowCoordinatesOnMapV01", "0|"},
    {"ShowRectangleOnMapV01", "0|"},
    {"GetLocationInfoV01", "0|100|200|0|Main Street|12|0|"},
    {"GetLocationInfoExV01", "0|100|200|0|Main Street|12|0|Springfield|"},
    {"GetRouteInfoV01", "0|1|2|3|4|5|6|7|8|9|10|11|12|13|"},
    {"ChangeSettingV01", "0|"},
    {"SwitchMapV01", "0|"},
    {"SetNavigatorPropertyV01", "0|"},
    {"GetCurrentPositionV01", "0|1|100|200|90|50|"},
    {"GeocodeV01", "0|100|200|1|Main Street 12|Springfield|"},
    {"GeocodeExtendedV01", "0|100|200|1|Main Street 12|Springfield|"},
    {"ClearFavoriteV01", "0|"},
    {"SetFavoriteV01", "0|"},
    {"GetFavoriteV01", "0|Home|Main Street 12|100|200|"},
    {"MakePoiVisibleV01", "0|"},
    {"AddPoiV01", "0|"},
    {"DeleteClosestPoiV01", "0|"},
    {"DeleteAllPoiV01", "0|"},
    {"MakeUserPoiVisibleV01", "0|"},
    {"MoveClosestPoiV01", "0|"},
    {"BringNavigatorToForegroundV01", "0|"},
    {"SwitchToNavigatorViewV01", "0|"},
    {"EnableExternalGPSInputV01", "0|1|"},
    {"DisableExternalGPSInputV01", "0|"},
};

}  // namespace

// ---- ReplyTable ----

ReplyTable::ReplyTable() {
  for (const auto& entry : kDefaultReplies) Set(entry[0], entry[1]);
  iFallback.text = "0|";
}

void ReplyTable::Set(const std::string& call, const std::string& text) {
  ScriptedReply reply;
  reply.text = text;
  iReplies[call] = reply;
}

void ReplyTable::ExitOn(const std::string& call) {
  ScriptedReply reply;
  reply.action = ScriptedReply::kExit;
  iReplies[call] = reply;
}

void ReplyTable::SetFallback(const std::string& text) {
  iFallback.action = ScriptedReply::kAnswer;
  iFallback.text = text;
}

ScriptedReply ReplyTable::Find(const std::string& call) const {
  auto found = iReplies.find(call);
  return found != iReplies.end() ? found->second : iFallback;
}

bool ReplyTable::Parse(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t blank = line.find(' ');
    std::string call = line.substr(0, blank);
    std::string reply = blank == std::string::npos ? std::string() : line.substr(blank + 1);
    if (call.empty()) return false;
    if (call[0] == '@') {
      iOptions[call.substr(1)] = std::atoi(reply.c_str());
    } else if (call == "*") {
      SetFallback(reply);
    } else if (reply == "!exit") {
      ExitOn(call);
    } else {
      Set(call, reply);
    }
  }
  return true;
}

int ReplyTable::Option(const std::string& name, int fallback) const {
  auto found = iOptions.find(name);
  return found != iOptions.end() ? found->second : fallback;
}

bool ReplyTable::Load(const std::string& hostPath) {
  std::ifstream file(hostPath, std::ios::binary);
  if (!file) return false;
  std::ostringstream content;
  content << file.rdbuf();
  return Parse(content.str());
}

// ---- RecordedRequest ----

std::string RecordedRequest::Text() const {
  std::string text;
  for (const std::string& field : fields) {
    text += field;
    text += '|';
  }
  return text;
}

std::vector<std::vector<std::string>> ReadRequestLog(const std::string& hostPath) {
  std::vector<std::vector<std::string>> requests;
  std::ifstream log(hostPath, std::ios::binary);
  std::string line;
  while (std::getline(log, line)) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t bar = line.find('|'); bar != std::string::npos; bar = line.find('|', start)) {
      fields.push_back(line.substr(start, bar - start));
      start = bar + 1;
    }
    requests.push_back(fields);
  }
  return requests;
}

// ---- RequestServer ----

RequestServer::RequestServer() : iInbox(kServerName) {}

bool RequestServer::Watch() { return iInbox.Watch(); }

bool RequestServer::Take(const InboxRequest& request, RecordedRequest* recorded) {
  SdkMessage message('|');
  int read = iInbox.Read(request, &message);
  // The files go before the answer: the client's next channel may reuse the same names.
  iInbox.Remove(request);
  if (read != 0) return false;
  recorded->client = request.client;
  recorded->linkId = request.linkId;
  recorded->sequence = request.sequence;
  for (int32_t i = 0; i < message.NrReceiveFields(); ++i) recorded->fields.push_back(message.Field(i));
  return true;
}

bool WriteReply(const InboxRequest& request, const std::string& text) {
  char textName[kSdkNameSize];
  char markerName[kSdkNameSize];
  if (!FormatChannelFileName(textName, sizeof textName, kServerName, request.client, request.linkId, request.sequence,
                             kSdkMessageFile) ||
      !FormatChannelFileName(markerName, sizeof markerName, kServerName, request.client, request.linkId,
                             request.sequence, kSdkFinishedFile)) {
    return false;
  }
  std::string passingName = std::string(markerName) + ".tmp";
  if (passingName.size() >= kSdkNameSize) return false;

  SdkFile file;
  if (file.OpenForWriting(textName, kSdkCallsFolder, false) != 0) return false;
  int wrote = file.Write(text.c_str(), static_cast<uint32_t>(text.size() + 1));
  file.Close();
  // The marker is written under another name and renamed once closed, so it appears whole and
  // only after the text: a client never catches it half-made.
  if (file.OpenForWriting(passingName.c_str(), kSdkCallsFolder, false) != 0) return false;
  int marked = file.Write(FileChannel::kMarker, sizeof FileChannel::kMarker);
  file.Close();
  if (!SdkFile::Move(passingName.c_str(), markerName, kSdkCallsFolder)) {
    SdkFile::Delete(passingName.c_str(), kSdkCallsFolder);
    return false;
  }
  return wrote == 0 && marked == 0;
}

}  // namespace scripted
