#include "crashreporting/Capture/VRDBinaryImage.h"

#include <elf.h>
#include <link.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "crashreporting/Capture/VRDEhFrameIndex.h"
#include "crashreporting/Capture/VRDMemoryMaps.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDUtilities.h"
#include "crashreporting/platform/MainBundle.h"
#include "crashreporting/platform/RepeatingTimer.h"
#include "crashreporting/platform/SerialQueue.h"
#include "crashreporting/platform/Sha1.h"

namespace crashreporting {
namespace {

constexpr std::uint64_t kTextPage = 4096;

std::string executablePath() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

bool readBuildID(const dl_phdr_info* info, char* uuid) {
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    if (segment.p_type != PT_NOTE) continue;
    if (VRDImageUUIDFromNotes(reinterpret_cast<const std::uint8_t*>(info->dlpi_addr + segment.p_vaddr),
                              segment.p_memsz, uuid)) {
      return true;
    }
  }
  return false;
}

// An image without a build-id is known by a digest of the first page of its first executable segment.
void hashFirstTextPage(const dl_phdr_info* info, char* uuid) {
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    if (segment.p_type != PT_LOAD || (segment.p_flags & PF_X) == 0) continue;
    std::string page(segment.p_filesz < kTextPage ? segment.p_filesz : kTextPage, '\0');
    if (!VRDReadMemory(info->dlpi_addr + segment.p_vaddr, page.data(), page.size())) break;
    const Sha1Digest digest = sha1(page);
    VRDImageUUIDFormat(digest.data(), digest.size(), uuid);
    return;
  }
  VRDImageUUIDFormat(nullptr, 0, uuid);
}

// A pointer of the encoding of `.eh_frame_hdr` (DWARF pointer encodings: the common formats, absolute,
// PC-relative or relative to the header); 0 when it cannot be read or the encoding is another.
std::uint64_t readEncodedPointer(std::uint64_t address, std::uint8_t encoding, std::uint64_t header) noexcept {
  if (encoding == 0xff) return 0;
  std::uint64_t value = 0;
  switch (encoding & 0x0f) {
    case 0x00:
    case 0x04:
    case 0x0c: {
      std::uint64_t v;
      if (!VRDReadMemory(address, &v, 8)) return 0;
      value = v;
      break;
    }
    case 0x03: {
      std::uint32_t v;
      if (!VRDReadMemory(address, &v, 4)) return 0;
      value = v;
      break;
    }
    case 0x0b: {
      std::int32_t v;
      if (!VRDReadMemory(address, &v, 4)) return 0;
      value = static_cast<std::uint64_t>(static_cast<std::int64_t>(v));
      break;
    }
    default: return 0;
  }
  switch (encoding & 0x70) {
    case 0x00: return value;
    case 0x10: return address + value;
    case 0x30: return header + value;
    default: return 0;
  }
}

// `.eh_frame` found through the pointer at the start of `.eh_frame_hdr`.
std::uint64_t ehFrameFromHeader(std::uint64_t header) noexcept {
  std::uint8_t start[4];
  if (header == 0 || !VRDReadMemory(header, start, sizeof start) || start[0] != 1) return 0;
  return readEncodedPointer(header + 4, start[1], header);
}

// The node of an image loaded `bias` above its file's addresses, from its program headers.
bool fillNodeFromSegments(std::uint64_t bias, const ElfW(Phdr)* segments, std::size_t count,
                          VRDBinaryImageNode* node) noexcept {
  std::uint64_t base = 0;
  std::uint64_t end = 0;
  std::uint64_t ehFrameHdr = 0;
  bool haveBase = false;
  for (std::size_t i = 0; i < count; ++i) {
    const ElfW(Phdr)& segment = segments[i];
    if (segment.p_type == PT_LOAD && segment.p_offset == 0 && !haveBase) {
      base = bias + segment.p_vaddr;
      haveBase = true;
    }
    if (segment.p_type == PT_LOAD && (segment.p_flags & PF_X) != 0) {
      const std::uint64_t segmentEnd = bias + segment.p_vaddr + segment.p_memsz;
      if (segmentEnd > end) end = segmentEnd;
    }
    if (segment.p_type == PT_GNU_EH_FRAME) ehFrameHdr = bias + segment.p_vaddr;
  }
  if (!haveBase || end <= base) return false;
  const std::uint64_t ehFrame = ehFrameFromHeader(ehFrameHdr);
  *node = VRDBinaryImageNode{base, end - base, ehFrame, 0, 0, ehFrameHdr, 0, 0};
  // The readable segment that holds both unwind sections, where a crash-time walk may read without proofs.
  for (std::size_t i = 0; i < count && ehFrameHdr != 0 && ehFrame != 0; ++i) {
    const ElfW(Phdr)& segment = segments[i];
    const std::uint64_t start = bias + segment.p_vaddr;
    const std::uint64_t segmentEnd = start + segment.p_memsz;
    if (segment.p_type != PT_LOAD || (segment.p_flags & PF_R) == 0 || segmentEnd <= start) continue;
    if (ehFrameHdr >= start && ehFrameHdr < segmentEnd && ehFrame >= start && ehFrame < segmentEnd) {
      node->unwindSegmentStart = start;
      node->unwindSegmentEnd = segmentEnd;
      break;
    }
  }
  return true;
}

bool fillNode(const dl_phdr_info* info, VRDBinaryImageNode* node) {
  return fillNodeFromSegments(info->dlpi_addr, info->dlpi_phdr, info->dlpi_phnum, node);
}

bool fillDetails(const dl_phdr_info* info, VRDBinaryImageDetails* out) {
  if (!fillNode(info, &out->node)) return false;
  if (!readBuildID(info, out->uuid)) hashFirstTextPage(info, out->uuid);
  out->slide = info->dlpi_addr;
  out->program = info->dlpi_name == nullptr || info->dlpi_name[0] == '\0';
  out->path = out->program ? executablePath() : info->dlpi_name;
  // Loaded by a relative path: the record names the file wherever the next start runs.
  if (!out->program && !out->path.starts_with('/') && out->path.size() < PATH_MAX) {
    char path[PATH_MAX];
    std::memcpy(path, out->path.c_str(), out->path.size() + 1);
    VRDMemoryMapsMakeImagePathAbsolute(out->node.base, path, sizeof path);
    out->path = path;
  }
  return true;
}

bool sameImage(const VRDBinaryImageDetails& a, const VRDBinaryImageDetails& b) {
  return a.node.base == b.node.base && a.node.size == b.node.size && std::strcmp(a.uuid, b.uuid) == 0 &&
         a.path == b.path;
}

// What the look for changes keeps between looks; never touched at crash time.
struct Tracker {
  std::mutex mutex;
  bool scanned = false;
  unsigned long long adds = 0;
  unsigned long long subs = 0;
  std::map<std::uint64_t, VRDBinaryImageDetails> known;  // by base
  std::map<std::uint64_t, std::uint64_t> builtTables;    // by base: the table built for a known image
  std::unique_ptr<RepeatingTimer> timer;
};

Tracker& tracker() {
  static Tracker instance;
  return instance;
}

struct Scan {
  Tracker* tracker;
  bool first = true;
  bool changed = false;
  std::map<std::uint64_t, VRDBinaryImageDetails> images;
};

// An image linked without `.eh_frame_hdr` gets a table built from its `.eh_frame`, read from the file mapped
// (the program's own is /proc/self/exe, whatever has become of its path since).
void buildTable(Tracker& state, VRDBinaryImageDetails& image) {
  const std::string file = image.program ? "/proc/self/exe" : image.path;
  if (VRDEhFrameIndexAddToNode(file.c_str(), image.uuid, image.slide, &image.node)) {
    state.builtTables[image.node.base] = image.node.ehFrameHdr;
  }
}

// Once the image's node is cleared, nothing finds its table any more.
void releaseTable(Tracker& state, std::uint64_t base) {
  const auto built = state.builtTables.find(base);
  if (built == state.builtTables.end()) return;
  VRDEhFrameIndexRelease(built->second);
  state.builtTables.erase(built);
}

void rescan(Tracker& state) {
  Scan scan{&state};
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t size, void* data) {
        auto* scan = static_cast<Scan*>(data);
        if (scan->first) {
          scan->first = false;
          // The counters came with glibc 2.4; an older loader is looked at in full every time.
          const bool haveCounters = size >= offsetof(dl_phdr_info, dlpi_subs) + sizeof info->dlpi_subs;
          if (haveCounters && scan->tracker->scanned && info->dlpi_adds == scan->tracker->adds &&
              info->dlpi_subs == scan->tracker->subs) {
            return 1;
          }
          scan->changed = true;
          scan->tracker->scanned = true;
          if (haveCounters) {
            scan->tracker->adds = info->dlpi_adds;
            scan->tracker->subs = info->dlpi_subs;
          }
        }
        VRDBinaryImageDetails details;
        if (fillDetails(info, &details)) scan->images.emplace(details.node.base, std::move(details));
        return 0;
      },
      &scan);
  if (!scan.changed) return;
  // Unloads first: an image replaced at the same base frees its node before the new one claims one.
  for (const auto& [base, image] : state.known) {
    const auto now = scan.images.find(base);
    if (now == scan.images.end() || !sameImage(now->second, image)) {
      VRDBinaryImageStoreNode(false, image);
      releaseTable(state, base);
    }
  }
  for (auto& [base, image] : scan.images) {
    const auto before = state.known.find(base);
    if (before != state.known.end() && sameImage(before->second, image)) {
      image.node = before->second.node;  // with the table built for it, if any
      continue;
    }
    if (image.node.ehFrameHdr == 0) buildTable(state, image);
    VRDBinaryImageStoreNode(true, image);
  }
  state.known = std::move(scan.images);
}

// A framework bundle (the image three folders down in "X.framework"), outside "/System": its Info.plist.
std::optional<BundleInfo> frameworkBundle(const std::string& path) {
  if (path.rfind("/System", 0) == 0 || path.find(".framework") == std::string::npos) return std::nullopt;
  const std::filesystem::path bundle = std::filesystem::path(path).parent_path().parent_path().parent_path();
  for (const char* name : {"Resources/Info.plist", "Info.plist", "Versions/Current/Resources/Info.plist"}) {
    std::string error;
    if (auto info = BundleInfo::fromFile(bundle / name, error)) return info;
  }
  return std::nullopt;
}

std::optional<std::string> infoString(const BundleInfo& info, const char* key) {
  const Value* value = info.objectForInfoDictionaryKey(key);
  return value != nullptr && value->get<std::string>() != nullptr ? std::optional(*value->get<std::string>())
                                                                   : std::nullopt;
}

void recordDetails(VRDFile* file, const VRDBinaryImageDetails& details) {
  if (file == nullptr) {
    VRDLogWarn("Error: file is invalid\n");
    return;
  }
  VRDFileWriteHashEntryString(file, "uuid", details.uuid);
  VRDFileWriteHashEntryUint64(file, "base", details.node.base);
  VRDFileWriteHashEntryUint64(file, "size", details.node.size);
}

// On the binary-image queue.
void recordImage(bool loaded, const VRDBinaryImageDetails& details) {
  bool openedNow = false;
  if (!VRDBinaryImageOpenIfNeeded(&openedNow)) {
    VRDLogWarn("Error: unable to open binary image log file\n");
    return;
  }
  VRDFile* file = &VRDContextWritable()->binaryImageFile;
  VRDFileWriteSectionStart(file, loaded ? "load" : "unload");
  VRDFileWriteHashStart(file);
  VRDFileWriteHashEntryString(file, "path", details.path.c_str());
  if (loaded) {
    if (const auto bundle = frameworkBundle(details.path)) {
      VRDFileWriteHashEntryNSStringUnlessNilOrEmpty(file, "bundle_id", infoString(*bundle, "CFBundleIdentifier"));
      VRDFileWriteHashEntryNSStringUnlessNilOrEmpty(file, "build_version", infoString(*bundle, "CFBundleVersion"));
      VRDFileWriteHashEntryNSStringUnlessNilOrEmpty(file, "display_version",
                                                    infoString(*bundle, "CFBundleShortVersionString"));
    }
  }
  recordDetails(file, details);
  VRDFileWriteHashEnd(file);
  VRDFileWriteSectionEnd(file);
  if (openedNow) VRDBinaryImageCloseFile();
}

}  // namespace

void VRDBinaryImageInit() {
  VRDWritableContext* writable = VRDContextWritable();
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  if (writable == nullptr || readOnly == nullptr) return;
  std::memset(static_cast<void*>(writable->binaryImages), 0, sizeof writable->binaryImages);
  writable->binaryImageFile = VRDFile{};
  Tracker& state = tracker();
  VRDBinaryImageStopTracking();
  SerialQueue& queue = VRDContextBinaryImageQueue();
  queue.sync([&] {
    if (!VRDUnlinkIfExists(readOnly->binaryImagePath)) {
      VRDLogWarn("Unable to reset the binary image log file %s\n", VRDErrorText(errno));
    }
    if (!VRDFileInitWithPath(&writable->binaryImageFile, readOnly->binaryImagePath, false)) {
      VRDLogWarn("Error: Unable to open the binary image log file during init\n");
    }
  });
  {
    std::lock_guard lock(state.mutex);
    state.scanned = false;
    state.known.clear();
    // The nodes were cleared above: no walk finds the tables any more.
    while (!state.builtTables.empty()) releaseTable(state, state.builtTables.begin()->first);
    rescan(state);
    state.timer = std::make_unique<RepeatingTimer>(VRDBinaryImageRescanInterval, queue,
                                                   [] { VRDBinaryImageCheckForChanges(); });
  }
  // The lines of the first look share the file opened above; later lines open and close it themselves.
  queue.async([] { VRDBinaryImageCloseFile(); });
}

void VRDBinaryImageCheckForChanges() {
  // A forked child has no binary-image queue thread to write for it, and its copy of the lock may be held.
  if (VRDContextWritable() == nullptr || VRDContextIsForeignProcess()) return;
  Tracker& state = tracker();
  std::lock_guard lock(state.mutex);
  if (state.scanned) rescan(state);
}

void VRDBinaryImageStopTracking() {
  std::unique_ptr<RepeatingTimer> timer;
  {
    std::lock_guard lock(tracker().mutex);
    timer = std::move(tracker().timer);
    tracker().scanned = false;
  }
}

bool VRDBinaryImageNodeFromSegments(std::uint64_t bias, const ElfW(Phdr)* segments, std::size_t count,
                                    VRDBinaryImageNode* node) noexcept {
  return fillNodeFromSegments(bias, segments, count, node);
}

bool VRDBinaryImageClaimNode(const VRDBinaryImageNode& image) noexcept {
  VRDWritableContext* writable = VRDContextWritable();
  if (writable == nullptr) return false;
  for (VRDBinaryImageNode& node : writable->binaryImages) {
    std::uint64_t expected = 0;
    if (!std::atomic_ref(node.base).compare_exchange_strong(expected, image.base)) continue;
    node.ehFrame = image.ehFrame;
    node.unwindInfo = image.unwindInfo;
    node.crashInfo = image.crashInfo;
    node.ehFrameHdr = image.ehFrameHdr;
    node.unwindSegmentStart = image.unwindSegmentStart;
    node.unwindSegmentEnd = image.unwindSegmentEnd;
    // The size last: a reader that sees it sees the rest.
    std::atomic_ref(node.size).store(image.size);
    return true;
  }
  return false;
}

bool VRDBinaryImageHasLiveNode(std::uint64_t base) noexcept {
  VRDWritableContext* writable = VRDContextWritable();
  if (writable == nullptr) return false;
  for (VRDBinaryImageNode& node : writable->binaryImages) {
    if (std::atomic_ref(node.base).load() == base && std::atomic_ref(node.size).load() != 0) return true;
  }
  return false;
}

void VRDBinaryImageStoreNode(bool loaded, const VRDBinaryImageDetails& details) {
  const std::uint64_t base = details.node.base;
  VRDWritableContext* writable = VRDContextWritable();
  if (writable == nullptr) {
    VRDLogWarn("Error: Writable context is NULL\n");
  } else {
    bool stored = false;
    if (loaded) {
      // Crash-time code may have given it a node already (an exception recorded, then the process kept on).
      stored = VRDBinaryImageHasLiveNode(base) || VRDBinaryImageClaimNode(details.node);
    } else {
      for (VRDBinaryImageNode& node : writable->binaryImages) {
        // Only a live node: one unloaded before at the same base keeps its base with size 0.
        std::uint64_t size = std::atomic_ref(node.size).load();
        if (std::atomic_ref(node.base).load() != base || size == 0) continue;
        if (!std::atomic_ref(node.size).compare_exchange_strong(size, 0)) {
          VRDLogWarn("Error: Failed to swap during image unload\n");
          continue;
        }
        node.ehFrame = 0;
        node.unwindInfo = 0;
        node.crashInfo = 0;
        node.ehFrameHdr = 0;
        stored = true;
        break;
      }
    }
    if (!stored) {
      VRDLogWarn("Error: Unable to track a %s node %p\n", loaded ? "loaded" : "unloaded", reinterpret_cast<void*>(base));
    }
  }
  VRDContextBinaryImageQueue().async([loaded, details] { recordImage(loaded, details); });
}

bool VRDBinaryImageSafeFindImageForAddress(std::uint64_t address, VRDBinaryImageNode* out) noexcept {
  VRDWritableContext* writable = VRDContextWritable();
  if (writable == nullptr || out == nullptr) return false;
  for (VRDBinaryImageNode& node : writable->binaryImages) {
    const std::uint64_t base = std::atomic_ref(node.base).load();
    const std::uint64_t size = std::atomic_ref(node.size).load();
    if (base != 0 && base <= address && address - base < size) {
      *out = VRDBinaryImageNode{base,
                                size,
                                node.ehFrame,
                                node.unwindInfo,
                                node.crashInfo,
                                node.ehFrameHdr,
                                node.unwindSegmentStart,
                                node.unwindSegmentEnd};
      return true;
    }
  }
  return false;
}

bool VRDBinaryImageHasUnwindInfo(const VRDBinaryImageNode* node) noexcept {
  return node != nullptr && node->unwindInfo >= VRDMinimumValidAddress;
}

bool VRDBinaryImageFindImageForUUID(const char* uuid, VRDBinaryImageDetails* out) {
  if (uuid == nullptr || out == nullptr) {
    VRDLogWarn("null input\n");
    return false;
  }
  struct Search {
    const char* uuid;
    VRDBinaryImageDetails* out;
  } search{uuid, out};
  return dl_iterate_phdr(
             [](dl_phdr_info* info, std::size_t, void* data) {
               auto* search = static_cast<Search*>(data);
               VRDBinaryImageDetails details;
               if (!fillDetails(info, &details) || !VRDImageUUIDMatches(search->uuid, details.uuid)) return 0;
               *search->out = std::move(details);
               return 1;
             },
             &search) == 1;
}

bool VRDBinaryImageMainExecutableDetails(VRDBinaryImageDetails* out) {
  *out = VRDBinaryImageDetails{};
  // The loader lists the executable first.
  return dl_iterate_phdr(
             [](dl_phdr_info* info, std::size_t, void* data) {
               return fillDetails(info, static_cast<VRDBinaryImageDetails*>(data)) ? 1 : -1;
             },
             out) == 1;
}

bool VRDBinaryImageRecordMainExecutable(VRDFile* file) {
  VRDBinaryImageDetails details;
  const bool found = VRDBinaryImageMainExecutableDetails(&details);
  VRDFileWriteSectionStart(file, "executable");
  VRDFileWriteHashStart(file);
  VRDFileWriteHashEntryString(file, "architecture", "x86_64");
  VRDFileWriteHashEntryString(file, "uuid", found ? details.uuid : nullptr);
  VRDFileWriteHashEntryUint64(file, "base", details.node.base);
  VRDFileWriteHashEntryUint64(file, "size", details.node.size);
  VRDFileWriteHashEntryBoolean(file, "encrypted", false);
  // ELF carries neither version.
  VRDFileWriteHashEntryString(file, "minimum_sdk_version", "0.0.0");
  VRDFileWriteHashEntryString(file, "built_sdk_version", "0.0.0");
  VRDFileWriteHashEnd(file);
  VRDFileWriteSectionEnd(file);
  return true;
}

bool VRDBinaryImageOpenIfNeeded(bool* openedNow) noexcept {
  *openedNow = false;
  VRDWritableContext* writable = VRDContextWritable();
  const VRDReadOnlyContext* readOnly = VRDContextReadOnly();
  if (writable == nullptr || readOnly == nullptr) return false;
  if (VRDFileIsOpen(&writable->binaryImageFile)) return true;
  if (!VRDFileInitWithPath(&writable->binaryImageFile, readOnly->binaryImagePath, false)) return false;
  *openedNow = true;
  return true;
}

void VRDBinaryImageCloseFile() noexcept {
  VRDWritableContext* writable = VRDContextWritable();
  if (writable != nullptr && VRDFileIsOpen(&writable->binaryImageFile)) VRDFileClose(&writable->binaryImageFile);
}

}  // namespace crashreporting
