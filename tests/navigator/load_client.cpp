// A client process for the load tests: makes calls against a running navigator and checks each
// reply against its request.
//
//   navigator_load_client mixed N K SERVER_PID   N calls of a mix whose replies are predictable
//                                                 for client K; exit 0 when every reply matched
//   navigator_load_client add N K SERVER_PID     adds points to category "Load<K>" as fast as it
//                                                 can; prints each point's text once its reply
//                                                 said 0 (so the lines are the acknowledged points)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/navigator/client_util.h"

namespace {

using navtest::Fields;

int Fail(int k, int i, const Fields& request, const Fields& reply, const char* why) {
  std::string got;
  for (const std::string& f : reply) got += f + "|";
  fprintf(stderr, "client %d call %d %s: %s; reply %s\n", k, i, request[0].c_str(), why, got.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: %s mixed|add CALLS CLIENT SERVER_PID\n", argv[0]);
    return 2;
  }
  std::string mode = argv[1];
  int calls = atoi(argv[2]), k = atoi(argv[3]);
  navtest::TestClient client;
  client.SetServerPid(atoi(argv[4]));
  std::string category = "Load" + std::to_string(k);
  Fields reply;
  for (int i = 0; i < calls; i++) {
    std::string text = "client " + std::to_string(k) + " point " + std::to_string(i);
    std::string x = std::to_string(-150000 + k * 1000 + i), y = std::to_string(5211000 + i);
    if (mode == "add") {
      Fields request{"AddPoiV01", category, x, y, text, ""};
      if (!client.Exchange(request, reply, 30000)) return Fail(k, i, request, reply, "no reply");
      if (reply != Fields{"0"}) return Fail(k, i, request, reply, "not stored");
      printf("%s\n", text.c_str());
      fflush(stdout);
      continue;
    }
    Fields request;
    bool ok = false;
    switch (i % 5) {
      case 0:
        request = {"AddPoiV01", category, x, y, text, ""};
        ok = client.Exchange(request, reply) && reply == Fields{"0"};
        break;
      case 1: {
        // The house number asked for comes back.
        std::string number = std::to_string(1 + (k * 7 + i) % 60);
        request = {"GeocodeV01", "Demotown", "High Street", number};
        ok = client.Exchange(request, reply) && reply.size() == 6 && reply[0] == "0" && reply[3] == number &&
             reply[4] == "High Street";
        break;
      }
      case 2:
        // Each client owns favourite K: what it set is what it reads.
        request = {"SetFavoriteV01", std::to_string(k), "fav " + std::to_string(k), text, x, y};
        ok = client.Exchange(request, reply) && reply == Fields{"0"};
        if (ok) {
          request = {"GetFavoriteV01", std::to_string(k)};
          ok = client.Exchange(request, reply) && reply == Fields{"0", "fav " + std::to_string(k), text, x, y};
        }
        break;
      case 3:
        request = {"GetLocationInfoExV01", "-150000", std::to_string(5211250 + (i % 200))};
        ok = client.Exchange(request, reply) && reply.size() == 8 && reply[4] == "Main Road" &&
             reply[7] == "Demotown (South)";
        break;
      case 4:
        request = {"GetCurrentPositionV01"};
        ok = client.Exchange(request, reply) && reply.size() == 6 && reply[0] == "0" && reply[1] == "1";
        break;
    }
    if (!ok) return Fail(k, i, request, reply, "unexpected reply");
  }
  return 0;
}
