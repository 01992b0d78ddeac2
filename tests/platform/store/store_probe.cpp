// A second process for the store's tests: reads or writes a notes file, or dies in the middle of a write.
//   store_probe list <file>             prints "id|text|count" per note, in stored order
//   store_probe put <file> <id> <text>  stores (or replaces) one note
//   store_probe crash <file>            commits note "committed" = "1", then is killed inside a large write
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/store/Database.h"
#include "platform/store/TestModels.h"

using namespace tilvane::store;
using namespace tilvane::store::test;

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string mode = argv[1];
  auto db = Database::open(notesConfiguration(argv[2]));
  if (mode == "list") {
    for (const auto& n : db->objects<Note>()) std::printf("%s|%s|%lld\n", n->id().c_str(), n->text().c_str(),
                                                          static_cast<long long>(n->count()));
    return 0;
  }
  if (mode == "put" && argc == 5) {
    auto note = std::make_shared<Note>();
    note->setId(argv[3]);
    note->setText(argv[4]);
    db->write([&] { db->add(note, UpdatePolicy::all); });
    return 0;
  }
  if (mode == "crash") {
    auto committed = std::make_shared<Note>();
    committed->setId("committed");
    committed->setText("1");
    db->write([&] { db->add(committed); });
    db->beginWrite();
    committed->setText("2");
    // Far more than the page cache holds, so uncommitted pages reach the file before the end.
    const std::string bulk(2048, 'x');
    for (int i = 0; i < 5000; ++i) {
      auto note = std::make_shared<Note>();
      note->setText(bulk);
      db->add(note);
    }
    std::fflush(stdout);
    std::raise(SIGKILL);
  }
  return 2;
}
