// What a save leaves beside the file it saves, and what a later run makes
// of it. The copy that holds the turn at the file (TTurn) names its new file
// for the bytes it is to hold before it writes one of them:
// `path` + ".tidemark-save.<size>-<crc>.tmp", their size in bytes and their
// CRC-32 (the one zip and gzip use) in eight hex digits. A later run can then
// prove that a leftover holds exactly what its save was putting in place:
// not a file that a kill or a power cut left short, nor one whose clusters
// on FAT32 still hold older bytes (a cut there can leave a file's size and
// name on the disk without its data), and with each byte written and flushed
// once.
//
// A save that ends another way while such a file stays (it went in place
// and could not remove its new file, or one an earlier run left) first
// marks that file void: an empty file of its name with ".void" for ".tmp",
// flushed, so on the disk before uo.cfg is touched. A marked file is never
// put back, and goes with its mark at the next chance.
//
// What no name can tell: a run killed after its new file was whole and
// before the rename (or while it waited out a hold on the rename) leaves a
// file that proves itself. Where the player deletes uo.cfg before any later
// run, the next run puts it back, as after a cut: the old settings with
// that run's journal line.
#pragma once

#include <cstdint>

#include "support/text_value.h"

namespace tidemark {

// The size and CRC-32 of bytes, added as they come.
struct SaveProof {
  std::int64_t Size = 0;
  std::uint32_t Crc = 0;
  void Add(const void* bytes, std::int64_t count);
};

// The name of the turn's new file beside `path` that holds the bytes `proof` describes.
TextValue NewFileName(const TextValue& path, const SaveProof& proof);

// Clears the way for the new file `name` beside `path`, for the copy that
// holds the turn: removes what earlier saves left under the turn's names
// (each file before its mark; another program's hold is waited out) and
// marks void each new file that stays. An unmarked file under `name`
// itself is left for the making of the new file, which removes it. False
// when a mark of `name` stays: no new file may be made under it then.
bool ClearLeftovers(const TextValue& path, const TextValue& name);

// Marks the new file `name` void. Where even the mark
// cannot be made (a folder that stopped letting files be made), the file
// stays unmarked: it is put back only where uo.cfg is then deleted and no
// other file is left.
void MarkVoid(const TextValue& name);

// A replace is not one step on a FAT disk. Microsoft's FAT driver
// (FatSetRenameInfo in filesys/fastfat/fileinfo.c of Windows-driver-samples:
// "Not being a transactional filesystem, FAT is at the mercy of a lot of
// things", its comment says) removes the new file's entry, then uo.cfg's,
// then writes uo.cfg's new one, in cached folder pages that reach the disk
// later, in an order no source gives. So a power cut can leave uo.cfg old
// or new; missing with the whole leftover (put back below); missing with no
// leftover, the new bytes in no file (as after any program's save on FAT);
// or, where the new entry reached the disk before the leftover's removal,
// both names on one chain of clusters, which only a disk check mends: the
// leftover's later removal frees uo.cfg's clusters too (and keeping it
// would not help: a replace of uo.cfg frees them as well). exFAT's driver
// is not published.
//
// Where `path` is missing after such a cut, puts the cut save's new file
// in its place, by a rename that never overwrites:
// the one unmarked new file, holding exactly the bytes its name proves.
// Marked files are removed: `path` was deleted after their save, and stays
// so. Only with the turn at `path` held (TTurn). True when `path` is there now.
bool RecoverCutReplace(const TextValue& path);

}  // namespace tidemark
