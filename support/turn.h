// Lock between processes: a named mutex, one per folder, held from the load to the save of uo.cfg.
// Taking turns at a file with other copies of the program. Players start
// several clients at once, or start one twice; each copy reads uo.cfg and
// saves it again, and two copies at it together would trip over each other's
// new file. Copies in one folder therefore take turns, from the load to the
// end of the save, through a named mutex that names the folder by what it
// is, not by how the path spells it: one folder reached through a short
// (8.3) name, a link, a mapped drive or its network path is one folder, and
// its copies share the one temporary name. Copies in other folders never
// wait for each other. A copy that dies
// holding the turn gives it up with its process, so nothing a kill leaves
// behind blocks the next run.
//
// Copies with different rights share the turn: one started elevated (run
// as administrator, or restarted so for a client that needs it) and one
// without, or one that "Prompt for credentials" runs as another account.
// The mutex is made with a descriptor of its own: synchronize and
// modify-state rights for every signed-in account, labelled medium, the
// lowest integrity a copy runs at. Without one, a mutex made by an elevated
// copy would carry that token's default security and refuse the others.
// A copy that finds the mutex made by another is refused it by CreateMutexA
// (which asks for every right), and opens it for what the turn needs.
//
// The turn is machine-wide ("Global\"): players who share a PC, each in
// a Windows session of their own (fast user switching, remote desktop),
// may start the one client folder's copies at once, and copies in two
// sessions would use the one temporary name of one uo.cfg just as two in
// one session would. The turn's name comes from the folder's identity,
// which is the same in every session. Any program of any account may make
// or hold that name first ("Kernel object namespaces": a mutex needs no
// privilege there); a copy then waits at most its longest wait, or goes on
// without the turn, as when another copy hangs.
#pragma once

#include <string>

#include "platform/platform.h"
#include "support/object.h"
#include "support/text_value.h"

namespace tidemark {

class TTurn : public TObject {
 public:
  // How long a copy waits for the others: longer than any save they make,
  // so that only a copy that hangs makes it go on without the turn.
  static constexpr platform::DWORD kLongestWait = 10000;

  // Waits for the turn at the file `path`, at most `longestWait` ms. The
  // turn may not be had (the wait ran out, or the system has no mutex to
  // give): the copy then goes on without it, as a lone copy would.
  // The path names the file as this copy spells it, and only `HeldFor`
  // that spelling tells the save that the turn is its own.
  explicit TTurn(const TextValue& path, platform::DWORD longestWait = kLongestWait);
  ~TTurn() override;
  TTurn(const TTurn&) = delete;
  TTurn& operator=(const TTurn&) = delete;

  bool Held() const { return held_; }
  // Whether this process holds the turn at `path` now: a save then knows
  // that no other copy is at the file, and that the file's one temporary
  // name is its own to use.
  static bool HeldFor(const TextValue& path);

 private:
  std::string name_;
  std::string spelling_;  // the path, as HeldFor compares it
  platform::HANDLE mutex_ = nullptr;
  bool held_ = false;
  const TTurn* outer_;
};

// The mutex's name for the file `path`, without "\", which names of the
// system's objects keep for their namespaces. It names the file's folder by
// its volume's serial number and its file index, with the file's name in
// any letter case: the same for every spelling of the one folder. Where the
// system cannot say who the folder is (a file system that keeps no index,
// a folder that cannot be opened), the path's own spelling names it, in any
// letter case (Windows names are case-blind).
std::string TurnNameFor(const TextValue& path);

}  // namespace tidemark
