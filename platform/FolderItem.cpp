#include "FolderItem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <random>
#include <utility>

#include "EndingSignals.h"

namespace kolvane {

// How a file is being written, and where it goes when the stream closes.
struct PendingOutput {
  enum class Way {
    New,          // a new file, linked to its name once whole
    Replacement,  // a file replacing what stands at the name, renamed over it once whole
    InPlace,      // the existing file itself, rewritten whole when the stream closes
  };
  // The file written, or -1 while a file replaced is not touched yet: a replacement is
  // made at the first write, and a file written in place is opened only when it closes.
  int fd = -1;
  Way way = Way::New;
  // Every step goes through the open folder the file goes into, by the file's name
  // there, so that no path is too long to take; the path is for messages.
  std::shared_ptr<const FolderHandle> folder;
  std::string name;
  std::string final;
  // The hidden name the file has while it is not in place, once it has one. A file
  // written without a name gets one only when it is whole, and is renamed straight away,
  // so that a program ended meanwhile leaves nothing behind.
  std::string temp;
  mode_t mode = 0;  // of a replacement
  bool open = false;
  // What stood at the name when the stream was made, if anything: the name's own entry.
  bool replaces = false;
  dev_t stoodDev = 0;
  ino_t stoodIno = 0;
  std::uint64_t written = 0;
  // The type and creator attribute as set through this stream. A new file starts with
  // none, so setting the codes needs no read of it; a file replaced keeps its own until
  // the new content stands.
  std::string finderInfo;
  bool finderInfoSet = false;

  PendingOutput() = default;
  // An output never put in place leaves no trace, also when its stream was never made.
  ~PendingOutput();
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;
};

// An open folder, held while items reached through it are in use.
struct FolderHandle {
  explicit FolderHandle(int descriptor) : fd(descriptor) {}
  ~FolderHandle() { ::close(fd); }
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;
  int fd;
};

// A folder on the way down a walk, by device and inode, and the one above it.
struct WalkStep {
  dev_t dev;
  ino_t ino;
  std::shared_ptr<const WalkStep> up;
  // The folder the walk keeps out of, the same at every step, when it has one.
  std::optional<std::pair<dev_t, ino_t>> keepOut;
};

namespace {

constexpr const char* kFinderInfo = "user.com.apple.FinderInfo";
constexpr std::size_t kFinderInfoSize = 32;
constexpr std::size_t kStreamChunk = 64 * 1024;
constexpr std::size_t kDirectWrite = 512;
constexpr std::size_t kReadChunk = 128 * 1024;

mode_t DefaultFileMode() {
  static const mode_t mode = [] {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

std::string ErrnoText(const char* what, const std::string& p) {
  return std::string(what) + " " + p + ": " + std::strerror(errno);
}

bool MayWrite(int folder, const char* name) { return ::faccessat(folder, name, W_OK, AT_EACCESS) == 0; }

// Whether the user may add entries to the open folder.
bool MayAddTo(int folder) { return ::faccessat(folder, ".", W_OK | X_OK, AT_EACCESS) == 0; }

// Opens a folder for the lookups of the *at calls. A path too long to be taken whole is
// followed a part at a time, each part short enough and ending between two names.
std::shared_ptr<const FolderHandle> OpenFolder(const std::string& p) {
  int fd = AT_FDCWD;
  std::size_t at = 0;
  do {
    std::size_t end = p.size();
    if (end - at >= PATH_MAX) {
      end = p.rfind('/', at + PATH_MAX - 1);
      if (end == std::string::npos || end <= at) {
        if (fd != AT_FDCWD) ::close(fd);
        errno = ENAMETOOLONG;
        return nullptr;
      }
    }
    const int next = ::openat(fd, p.substr(at, end - at).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    const int err = errno;
    if (fd != AT_FDCWD) ::close(fd);
    if (next < 0) {
      errno = err;
      return nullptr;
    }
    fd = next;
    at = p.find_first_not_of('/', end);
  } while (at != std::string::npos);
  return std::make_shared<const FolderHandle>(fd);
}

bool OnTheWay(const WalkStep* step, const struct stat& st) {
  for (; step; step = step->up.get()) {
    if (step->dev == st.st_dev && step->ino == st.st_ino) return true;
  }
  return false;
}

// The folders that hold the open folder, nearest first, up to the top of the file system.
std::vector<struct stat> FoldersAbove(int folder) {
  std::vector<struct stat> up;
  struct stat here;
  if (::fstat(folder, &here) != 0) return up;
  int current = folder;
  for (int depth = 0; depth < 4096; ++depth) {
    const int parent = ::openat(current, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (current != folder) ::close(current);
    current = parent;
    struct stat st;
    if (parent < 0 || ::fstat(parent, &st) != 0) break;
    if (st.st_dev == here.st_dev && st.st_ino == here.st_ino) break;  // the top
    up.push_back(st);
    here = st;
  }
  if (current >= 0 && current != folder) ::close(current);
  return up;
}

// The folders that hold the open folder, from the top of the file system down to its
// parent, as steps of a way down.
std::shared_ptr<const WalkStep> StepsAbove(int folder) {
  const std::vector<struct stat> up = FoldersAbove(folder);
  std::shared_ptr<const WalkStep> steps;
  for (auto it = up.rbegin(); it != up.rend(); ++it) {
    steps = std::make_shared<const WalkStep>(WalkStep{it->st_dev, it->st_ino, steps, std::nullopt});
  }
  return steps;
}

// Whether the open folder is the folder of that device and inode, or lies inside it.
bool IsInside(int folder, dev_t dev, ino_t ino) {
  struct stat st;
  if (::fstat(folder, &st) == 0 && st.st_dev == dev && st.st_ino == ino) return true;
  for (const struct stat& above : FoldersAbove(folder)) {
    if (above.st_dev == dev && above.st_ino == ino) return true;
  }
  return false;
}

// Makes the output a hidden temporary sibling of its name, where the file system has no
// unnamed files; false, with errno set, when none can be made.
bool CreateTemporary(PendingOutput& p, mode_t mode);

// Folders held open at once, at most: a walk down a very deep tree goes on by paths.
constexpr int kHeldFolders = 256;

// The file a chain of symbolic links names, which need not exist; the path itself when
// it is no link.
std::string FollowLinks(std::string p) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    std::string target(static_cast<std::size_t>(PATH_MAX), '\0');
    const ssize_t n = ::readlink(p.c_str(), target.data(), target.size());
    if (n <= 0) return p;
    target.resize(static_cast<std::size_t>(n));
    p = target.front() == '/' ? target : p.substr(0, p.rfind('/') + 1) + target;
  }
  return p;
}

// Files opened with O_TMPFILE are used only where /proc is there to name them, should the
// kernel not let them be named directly; /proc also names entries of open folders.
bool CanNameUnnamedFiles() {
  static const bool can = ::access("/proc/self/fd", X_OK) == 0;
  return can;
}

std::string ReadFinderInfo(const std::string& p) {
  char buf[kFinderInfoSize];
  const ssize_t n = ::getxattr(p.c_str(), kFinderInfo, buf, sizeof buf);
  if (n <= 0) return std::string();
  return std::string(buf, static_cast<std::size_t>(n));
}

// The attribute of the regular file of that name in the open folder.
std::string FinderInfoAt(int folder, const char* name) {
  const int fd = ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::string();
  char buf[kFinderInfoSize];
  const ssize_t n = ::fgetxattr(fd, kFinderInfo, buf, sizeof buf);
  ::close(fd);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

// A path to the entry of that name in the open folder that is short whatever the folder's
// own path, for the calls that take only a path.
std::string ShortPath(int folder, const char* name, const std::string& path) {
  if (folder < 0 || !CanNameUnnamedFiles()) return path;  // AT_FDCWD and no folder included
  return "/proc/self/fd/" + std::to_string(folder) + "/" + name;
}

// A four-character code: trailing NULs are not part of it.
String CodeAt(const std::string& codes, std::size_t offset) {
  if (codes.size() < offset + 4) return String(std::string(), Encodings::MacRoman);
  std::string code = codes.substr(offset, 4);
  while (!code.empty() && code.back() == '\0') code.pop_back();
  return String(std::move(code), Encodings::MacRoman);
}

}  // namespace

FolderItem::FolderItem(const std::filesystem::path& path)
    : path_(path.is_absolute() ? path.native() : std::filesystem::absolute(path).native()) {
  // "/a/b/" and "/a/b" are the same item; keep the form whose last component is its name.
  while (path_.size() > 1 && path_.back() == '/') path_.pop_back();
}

FolderItem::FolderItem(std::string path, Trusted) : path_(std::move(path)) {}

// A folder's entry: its path is already absolute and trimmed, so plain joining keeps it
// so, and a run over many files builds each path once.
std::string FolderItem::PathOf(std::string_view name) const {
  std::string s;
  s.reserve(path_.size() + 1 + name.size());
  s = path_;
  if (!IsRoot()) s += '/';
  s += name;
  return s;
}

bool FolderItem::IsRoot() const { return path_ == "/"; }

// Where a folder could not be opened: every lookup through it fails.
constexpr int kUnreachable = -1;

FolderItem::Place FolderItem::Where() const {
  const char* name = path_.c_str() + (path_.size() - LastComponent().size());
  if (within_) return Place{within_->fd, name, nullptr};
  if (path_.size() < PATH_MAX || IsRoot()) return Place{AT_FDCWD, path_.c_str(), nullptr};
  std::shared_ptr<const FolderHandle> folder = OpenFolder(path_.substr(0, path_.size() - LastComponent().size()));
  if (!folder) return Place{kUnreachable, name, nullptr};
  const int fd = folder->fd;
  return Place{fd, name, std::move(folder)};
}

std::string_view FolderItem::LastComponent() const {
  const std::string& s = path_;
  return IsRoot() ? std::string_view() : std::string_view(s).substr(s.rfind('/') + 1);
}

String FolderItem::Name() const {
  return String(std::string(LastComponent()), Encodings::UTF8);
}

String FolderItem::DisplayName() const {
  const std::string_view raw = LastComponent();
  return String(QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size())).toUtf8().toStdString());
}

String FolderItem::AbsolutePath() const { return String(path_, Encodings::UTF8); }

Ref<FolderItem> FolderItem::Parent() const {
  if (IsRoot()) return nullptr;
  const std::size_t slash = path_.rfind('/');
  return New<FolderItem>(slash == 0 ? std::string("/") : path_.substr(0, slash), Trusted{});
}

Ref<FolderItem> FolderItem::Child(const String& name) const {
  const std::string& n = name.Bytes();
  if (n.empty() || n == "." || n == ".." || n.find('/') != std::string::npos ||
      n.find('\0') != std::string::npos) {
    return nullptr;
  }
  auto child = New<FolderItem>(PathOf(n), Trusted{});
  child->inFolderMadeHere_ = madeHere_;
  child->within_ = madeHandle_;
  return child;
}

bool FolderItem::Exists() const {
  struct stat st;
  const Place at = Where();
  return ::fstatat(at.folder, at.name, &st, 0) == 0;
}

bool FolderItem::Visible() const {
  const std::string_view n = LastComponent();
  return n.empty() || n[0] != '.';
}

bool FolderItem::Directory() const {
  if (kind_ != Kind::Unknown) return kind_ == Kind::Folder;
  struct stat st;
  const Place at = Where();
  return ::fstatat(at.folder, at.name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

std::int32_t FolderItem::Count() {
  listing_.emplace();
  step_.reset();
  listedHandle_.reset();
  const Place at = Where();
  const int fd = at.folder == kUnreachable ? -1 : ::openat(at.folder, at.name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return 0;
    throw IOException(ErrnoText("cannot list", path_));
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    errno = err;
    throw IOException(ErrnoText("cannot list", path_));
  }
  if (above_) {
    // A folder already on the way down, or one that holds the first folder listed (a
    // link to it, or to one of its parents), would lead the walk round in a circle; the
    // folder the walk keeps out of is not entered either, nor, through a link, a folder
    // it holds. (A real subfolder lies inside it only by being it: its parent was not.)
    const auto& keepOut = above_->keepOut;
    if (OnTheWay(above_.get(), st) ||
        (keepOut && ((st.st_dev == keepOut->first && st.st_ino == keepOut->second) ||
                     (kind_ != Kind::Folder && IsInside(fd, keepOut->first, keepOut->second))))) {
      ::close(fd);
      return 0;
    }
    step_ = std::make_shared<const WalkStep>(WalkStep{st.st_dev, st.st_ino, above_, keepOut});
  } else {
    std::optional<std::pair<dev_t, ino_t>> keepOut;
    struct stat out;
    const Place outAt = keepOut_ ? keepOut_->Where() : Place{kUnreachable, "", nullptr};
    if (::fstatat(outAt.folder, outAt.name, &out, 0) == 0) keepOut.emplace(out.st_dev, out.st_ino);
    step_ = std::make_shared<const WalkStep>(WalkStep{st.st_dev, st.st_ino, StepsAbove(fd), keepOut});
  }
  // The entries are reached through the open folder, below the first folder listed and
  // while not too many are open; the first folder's own stays closed, so that a folder
  // the program keeps does not keep its disk busy.
  int listed = fd;
  if (above_ && fd < kHeldFolders) {
    listedHandle_ = std::make_shared<const FolderHandle>(fd);
    listed = ::dup(fd);
  }
  DIR* dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
  if (!dir) {
    const int err = errno;
    if (listed >= 0) ::close(listed);
    errno = err;
    throw IOException(ErrnoText("cannot list", path_));
  }
  errno = 0;
  while (const dirent* e = ::readdir(dir)) {
    const char* n = e->d_name;
    if (std::strcmp(n, ".") == 0 || std::strcmp(n, "..") == 0) continue;
    const Kind kind = e->d_type == DT_DIR   ? Kind::Folder
                      : e->d_type == DT_REG ? Kind::File
                      : e->d_type == DT_LNK || e->d_type == DT_UNKNOWN ? Kind::Unknown
                                                                       : Kind::Other;
    listing_->push_back(Entry{n, kind});
  }
  const int err = errno;
  ::closedir(dir);
  if (err != 0) {
    errno = err;
    throw IOException(ErrnoText("cannot list", path_));
  }
  std::sort(listing_->begin(), listing_->end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return static_cast<std::int32_t>(listing_->size());
}

Ref<FolderItem> FolderItem::Item(std::int32_t index) {
  if (!listing_) Count();
  if (index < 1 || static_cast<std::size_t>(index) > listing_->size()) return nullptr;
  const Entry& e = (*listing_)[static_cast<std::size_t>(index) - 1];
  auto item = New<FolderItem>(PathOf(e.name), Trusted{});
  item->above_ = step_;
  item->within_ = listedHandle_;
  item->kind_ = e.kind;
  return item;
}

void FolderItem::ReadCodes() const {
  if (codes_) return;
  const auto pending = pending_.lock();
  if (pending && pending->open) {
    codes_ = pending->finderInfo;
    return;
  }
  const Place at = Where();
  codes_ = ReadFinderInfo(ShortPath(at.folder, at.name, path_));
}

String FolderItem::MacType() const {
  ReadCodes();
  return CodeAt(*codes_, 0);
}

String FolderItem::MacCreator() const {
  ReadCodes();
  return CodeAt(*codes_, 4);
}

void FolderItem::SetMacType(const String& code) { WriteCode(0, code); }
void FolderItem::SetMacCreator(const String& code) { WriteCode(4, code); }

void FolderItem::WriteCode(std::size_t offset, const String& code) {
  // Codes are not set on what stands at a name where the file could not be created.
  if (creationFailed_) throw IOException("no file was created at " + path_);
  const auto pending = pending_.lock();
  PendingOutput* out = pending && pending->open ? pending.get() : nullptr;
  const Place at = out ? Place{kUnreachable, "", nullptr} : Where();
  const std::string path = out ? std::string() : ShortPath(at.folder, at.name, path_);
  std::string info = out ? out->finderInfo : ReadFinderInfo(path);
  // A file without codes stays without the attribute when no code is given.
  if (info.empty() && code.IsEmpty()) return;
  info.resize(kFinderInfoSize, '\0');
  std::string bytes = code.Bytes().substr(0, 4);
  bytes.resize(4, '\0');
  info.replace(offset, 4, bytes);
  codes_.reset();
  if (out && out->fd < 0) {
    out->finderInfo = info;  // set on the file once it is written
    out->finderInfoSet = true;
    return;
  }
  // File systems without user attributes keep no codes; that is not an error.
  if (out) {
    if (::fsetxattr(out->fd, kFinderInfo, info.data(), info.size(), 0) == 0) out->finderInfo = info;
  } else {
    ::setxattr(path.c_str(), kFinderInfo, info.data(), info.size(), 0);
  }
}

Ref<TextInputStream> FolderItem::OpenAsTextFile() const {
  // Only regular files are opened: opening a FIFO or a device could block or act.
  struct stat st;
  if (kind_ == Kind::Folder || kind_ == Kind::Other) return nullptr;
  const Place at = Where();
  if (kind_ == Kind::Unknown && (::fstatat(at.folder, at.name, &st, 0) != 0 || !S_ISREG(st.st_mode))) {
    return nullptr;
  }
  const int fd = ::openat(at.folder, at.name, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return nullptr;
  // Something else may have taken the name since the check; O_NONBLOCK kept that from
  // blocking. On a regular file it changes nothing, so it can stay set.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  // The codes are read afresh from the open file, which spares looking the name up again.
  if (pending_.expired()) {
    char buf[kFinderInfoSize];
    const ssize_t n = ::fgetxattr(fd, kFinderInfo, buf, sizeof buf);
    codes_ = n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
  }
  return New<TextInputStream>(fd, static_cast<std::uint64_t>(st.st_size));
}

Ref<TextOutputStream> FolderItem::CreateTextFile(LinkAtName atLink) {
  creationFailed_ = true;
  if (IsRoot()) return nullptr;
  auto pending = std::make_shared<PendingOutput>();
  PendingOutput& p = *pending;
  if (atLink == LinkAtName::WriteThrough) {
    p.final = FollowLinks(path_);
    const std::size_t slash = p.final.rfind('/');
    p.name = p.final.substr(slash + 1);
    p.folder = OpenFolder(p.final.substr(0, slash + 1));
  } else {
    p.final = path_;
    p.name = std::string(LastComponent());
    p.folder = within_ ? within_ : OpenFolder(path_.substr(0, path_.size() - p.name.size()));
  }
  if (!p.folder) return nullptr;
  const int folder = p.folder->fd;
  struct stat st;
  const bool exists = !inFolderMadeHere_ && ::fstatat(folder, p.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
  if (exists && S_ISDIR(st.st_mode)) return nullptr;
  const bool regular = exists && S_ISREG(st.st_mode);
  if (regular && !MayWrite(folder, p.name.c_str())) return nullptr;  // write-protected: left alone

  if (exists) {
    // Nothing is touched before the stream writes, and what stands there is known, so
    // that a caller can still refuse to write over it.
    p.replaces = true;
    p.stoodDev = st.st_dev;
    p.stoodIno = st.st_ino;
    if (regular && !MayAddTo(folder)) {
      // A folder the user may not write, a file the user may: written where it stands.
      p.way = PendingOutput::Way::InPlace;
      p.finderInfo = FinderInfoAt(folder, p.name.c_str());
    } else {
      p.way = PendingOutput::Way::Replacement;
      p.mode = regular ? st.st_mode & 07777 : DefaultFileMode();
    }
  } else {
    // A new file is written without a name and linked to it once whole: one entry added
    // to the folder, where a temporary one would be added, then renamed.
    p.fd = CanNameUnnamedFiles() ? ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666) : -1;
    if (p.fd < 0 && !CreateTemporary(p, DefaultFileMode())) return nullptr;
  }
  p.open = true;
  pending_ = pending;
  codes_.reset();
  creationFailed_ = false;
  return New<TextOutputStream>(std::move(pending));
}

void FolderItem::CreateAsFolder() {
  const Place at = Where();
  madeHere_ = ::mkdirat(at.folder, at.name, 0777) == 0;
  listing_.reset();
  // Held open for the files a run writes into it, while not too many are open.
  const int fd = ::openat(at.folder, at.name, O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd >= kHeldFolders) ::close(fd);
  madeHandle_ = fd >= 0 && fd < kHeldFolders ? std::make_shared<const FolderHandle>(fd) : nullptr;
}

void FolderItem::KeepWalksOutOf(Ref<FolderItem> folder) { keepOut_ = std::move(folder); }

bool FolderItem::LinksInto(const FolderItem& folder) const {
  struct stat st;
  const Place at = Where();
  if (madeHere_ || ::fstatat(at.folder, at.name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode)) {
    return false;
  }
  struct stat target;
  const Place folderAt = folder.Where();
  if (::fstatat(folderAt.folder, folderAt.name, &target, 0) != 0) return false;
  const int fd = ::openat(at.folder, at.name, O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool inside = IsInside(fd, target.st_dev, target.st_ino);
  ::close(fd);
  return inside;
}

bool FolderItem::IsSameItemAs(const FolderItem& other) const {
  struct stat a, b;
  const Place here = Where();
  const Place there = other.Where();
  return ::fstatat(here.folder, here.name, &a, 0) == 0 && ::fstatat(there.folder, there.name, &b, 0) == 0 &&
         a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// ---- TextInputStream

TextInputStream::TextInputStream(int fd, std::uint64_t size) : fd_(fd), size_(size) {}

TextInputStream::~TextInputStream() {
  if (fd_ >= 0) ::close(fd_);
}

bool TextInputStream::Fill() {
  if (fd_ < 0) throw IOException("read from a closed stream");
  if (atEnd_) return false;
  buffer_.erase(0, pos_);
  pos_ = 0;
  const std::size_t old = buffer_.size();
  buffer_.resize(old + kStreamChunk);
  ssize_t n;
  do {
    n = ::read(fd_, buffer_.data() + old, kStreamChunk);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    buffer_.resize(old);
    throw IOException(std::string("read failed: ") + std::strerror(errno));
  }
  buffer_.resize(old + static_cast<std::size_t>(n));
  consumed_ += static_cast<std::uint64_t>(n);
  if (n == 0) atEnd_ = true;
  return n > 0;
}

namespace {

// Maps the whole pages of [at, at + size) in one call. Taking them one fault at a time,
// as read() first writes to each, costs more than copying the bytes; small reads keep
// to the faults.
void MapPagesToFill(char* at, std::size_t size) {
#ifdef MADV_POPULATE_WRITE
  constexpr std::size_t kWorthIt = 1 << 20;
  if (size < kWorthIt) return;
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(at) + page - 1) & ~(page - 1);
  const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(at) + size) & ~(page - 1);
  ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);  // only a hint
#else
  (void)at;
  (void)size;
#endif
}

}  // namespace

String TextInputStream::ReadAll(TextEncoding encoding) {
  if (fd_ < 0) throw IOException("read from a closed stream");
  // The file is read straight into the text's own buffer, allocated once with room for
  // the text to grow in place when it is converted: three bytes per byte is the most any
  // conversion and line-break change makes of it. Room is reserved, not touched: the
  // pages the file goes into are mapped before it is read, the rest only once written,
  // so room never written costs address space only. Where even that cannot be had, the
  // text alone.
  const std::size_t left = !atEnd_ && size_ > consumed_ ? static_cast<std::size_t>(size_ - consumed_) : 0;
  std::string out;
  if (!atEnd_) {
    const std::size_t expected = buffer_.size() - pos_ + left;
    try {
      out.reserve(3 * expected + 64);
    } catch (const std::bad_alloc&) {
      out.reserve(expected + 64);
    }
  }
  out.append(buffer_, pos_);
  buffer_.clear();
  pos_ = 0;
  MapPagesToFill(out.data() + out.size(), std::min(left, out.capacity() - out.size()));

  // Until read() sees the end: a file may have grown since it was opened. A read that
  // comes back short with exactly the size seen at opening is the end as well, which
  // spares a small file its second read; files that tell no size (those of /proc) are
  // read to the end.
  while (!atEnd_) {
    if (out.size() == out.capacity()) out.reserve(out.size() + std::max(out.size() / 2, kReadChunk));
    const std::size_t have = out.size();
    const std::size_t room = out.capacity();
    int error = 0;
    out.resize_and_overwrite(room, [&](char* p, std::size_t) {
      std::size_t filled = have;
      while (filled < room) {
        const ssize_t n = ::read(fd_, p + filled, room - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
          error = errno;
          break;
        }
        if (n == 0) {
          atEnd_ = true;
          break;
        }
        const bool shortRead = static_cast<std::size_t>(n) < room - filled;
        filled += static_cast<std::size_t>(n);
        if (shortRead && size_ > 0 && consumed_ + (filled - have) == size_) {
          atEnd_ = true;
          break;
        }
      }
      return filled;
    });
    consumed_ += out.size() - have;
    if (error != 0) throw IOException(std::string("read failed: ") + std::strerror(error));
  }
  return String(std::move(out), encoding);
}

String TextInputStream::ReadLine(TextEncoding encoding) {
  std::size_t scan = pos_;
  for (;;) {
    const std::size_t at = buffer_.find_first_of("\r\n", scan);
    if (at != std::string::npos) {
      // A CR at the end of what is buffered may be the first half of CR LF.
      if (buffer_[at] == '\r' && at + 1 == buffer_.size() && !atEnd_) {
        const std::size_t offset = at - pos_;
        Fill();
        scan = pos_ + offset;
        continue;
      }
      String line(buffer_.substr(pos_, at - pos_), encoding);
      pos_ = at + 1;
      if (buffer_[at] == '\r' && pos_ < buffer_.size() && buffer_[pos_] == '\n') ++pos_;
      return line;
    }
    const std::size_t seen = buffer_.size() - pos_;
    if (!Fill()) {
      String line(buffer_.substr(pos_), encoding);
      pos_ = buffer_.size();
      return line;
    }
    scan = pos_ + seen;
  }
}

bool TextInputStream::EOF_() {
  if (pos_ < buffer_.size()) return false;
  if (atEnd_) return true;
  Fill();
  return pos_ >= buffer_.size();
}

void TextInputStream::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

// ---- TextOutputStream

namespace {

// Gives a file opened with O_TMPFILE a name; EEXIST when something stands there. Newer
// kernels let the one who opened it name it directly, older ones only through /proc.
int LinkUnnamed(int fd, int folder, const char* name) {
  static bool direct = true;
  if (direct) {
    if (::linkat(fd, "", folder, name, AT_EMPTY_PATH) == 0) return 0;
    if (errno != ENOENT && errno != EPERM) return -1;
  }
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  const int linked = ::linkat(AT_FDCWD, self.c_str(), folder, name, AT_SYMLINK_FOLLOW);
  if (linked == 0) direct = false;
  return linked;
}

// Tries hidden names beside the output until `take` takes one, which the output keeps.
template <class Take>
bool WithTemporaryName(PendingOutput& p, Take take) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static std::mt19937 rng{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temp = ".kolvane-";
    for (int i = 0; i < 6; ++i) temp += kLetters[rng() % (sizeof kLetters - 1)];
    if (take(temp.c_str())) {
      p.temp = std::move(temp);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

// Names a whole unnamed output as a hidden temporary sibling of its name.
bool LinkUnderTemporaryName(PendingOutput& p) {
  return WithTemporaryName(p, [&p](const char* temp) { return LinkUnnamed(p.fd, p.folder->fd, temp) == 0; });
}

// A file named from the start, where the file system has no unnamed files: a program
// ended by a signal it can handle removes it first.
bool CreateTemporary(PendingOutput& p, mode_t mode) {
  const HoldEndingSignals hold;  // until it is known to be removed
  if (!WithTemporaryName(p, [&p](const char* temp) {
        p.fd = ::openat(p.folder->fd, temp, O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        return p.fd >= 0;
      })) {
    return false;
  }
  RemoveWhenEnded(p.folder->fd, p.temp.c_str());
  ::fchmod(p.fd, mode);
  return true;
}

// Drops an output that is not to be put in place.
void Discard(PendingOutput& p) {
  if (p.fd >= 0) ::close(p.fd);
  if (!p.temp.empty()) {
    ::unlinkat(p.folder->fd, p.temp.c_str(), 0);
    KeepWhenEnded();
  }
  p.open = false;
}

}  // namespace

PendingOutput::~PendingOutput() {
  if (open) Discard(*this);
}

namespace {

// Whether what came to stand at a new output's name while it was written may be
// replaced: no folder, and no file the user may not write. A replaced file's permission
// bits pass to the new one.
bool MayReplace(PendingOutput& p) {
  struct stat st;
  if (::fstatat(p.folder->fd, p.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return true;  // gone meanwhile
  if (S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return false;
  }
  if (S_ISREG(st.st_mode)) {
    if (!MayWrite(p.folder->fd, p.name.c_str())) {
      errno = EACCES;
      return false;
    }
    ::fchmod(p.fd, st.st_mode & 07777);
  }
  return true;
}

// Makes the file that replaces the one at the name, at the first write, with that
// file's permission bits and the codes set so far. It has no name until it is whole.
void CreateReplacement(PendingOutput& p) {
  p.fd = CanNameUnnamedFiles() ? ::openat(p.folder->fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600) : -1;
  if (p.fd >= 0) {
    ::fchmod(p.fd, p.mode);
  } else if (!CreateTemporary(p, p.mode)) {
    throw IOException(ErrnoText("cannot replace", p.final));
  }
  if (p.finderInfoSet) ::fsetxattr(p.fd, kFinderInfo, p.finderInfo.data(), p.finderInfo.size(), 0);
}

void WriteFully(int fd, const char* data, std::size_t size);

// A file written where it stands is rewritten whole when the stream closes. The room the
// text needs is taken first, so that a full disk or a size limit leaves the file as it
// was; the file then ends at the new text, and takes the codes set for it.
void CloseInPlace(PendingOutput& p, const std::string& text) {
  p.open = false;
  const int fd = ::openat(p.folder->fd, p.name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int err = fd < 0 ? errno : EINVAL;
    if (fd >= 0) ::close(fd);
    errno = err;
    throw IOException(ErrnoText("cannot write", p.final));
  }
  p.fd = fd;
  const auto size = static_cast<off_t>(text.size());
  if (size > 0 && ::fallocate(fd, 0, 0, size) != 0 && errno != EOPNOTSUPP && errno != ENOSYS) {
    const int err = errno;
    ::close(fd);
    errno = err;
    throw IOException(ErrnoText("no room to write", p.final));
  }
  try {
    WriteFully(fd, text.data(), text.size());
  } catch (...) {
    ::close(fd);
    throw;
  }
  const bool cut = ::ftruncate(fd, size) == 0;
  const int err = errno;
  if (cut && p.finderInfoSet) ::fsetxattr(fd, kFinderInfo, p.finderInfo.data(), p.finderInfo.size(), 0);
  if (::close(fd) != 0 || !cut) {
    errno = cut ? errno : err;
    throw IOException(ErrnoText("cannot write", p.final));
  }
}

void WriteFully(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw IOException(std::string("write failed: ") + std::strerror(errno));
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

}  // namespace

TextOutputStream::TextOutputStream(std::shared_ptr<PendingOutput> pending)
    : pending_(std::move(pending)) {}

TextOutputStream::~TextOutputStream() = default;

void TextOutputStream::Flush() {
  PendingOutput& p = *pending_;
  if (p.fd < 0) CreateReplacement(p);
  if (buffer_.empty()) return;
  WriteFully(p.fd, buffer_.data(), buffer_.size());
  p.written += buffer_.size();
  buffer_.clear();
}

void TextOutputStream::Write(const String& text) {
  if (!pending_->open) throw IOException("write to a closed stream");
  const std::string& bytes = text.Bytes();
  // Small pieces, lines say, are gathered; a whole text goes out as it is. A file written
  // in place takes all of it at once, when the stream closes.
  if (pending_->way == PendingOutput::Way::InPlace ||
      (buffer_.size() + bytes.size() < kStreamChunk && bytes.size() < kDirectWrite)) {
    buffer_ += bytes;
    return;
  }
  Flush();
  WriteFully(pending_->fd, bytes.data(), bytes.size());
  pending_->written += bytes.size();
}

bool TextOutputStream::Replaces(const FolderItem& item) const {
  const PendingOutput& p = *pending_;
  if (!p.replaces) return false;
  const auto stood = [&p](const struct stat& st) { return st.st_dev == p.stoodDev && st.st_ino == p.stoodIno; };
  struct stat st;
  const FolderItem::Place at = item.Where();
  return (::fstatat(at.folder, at.name, &st, AT_SYMLINK_NOFOLLOW) == 0 && stood(st)) ||
         (::fstatat(at.folder, at.name, &st, 0) == 0 && stood(st));
}

void TextOutputStream::WriteLine(const String& text) {
  Write(text);
  Write(EndOfLine());
}

void TextOutputStream::Close() {
  if (!pending_->open) return;
  // Ended between naming the file and renaming it, the program would leave it beside the
  // old one; ended while rewriting one in place, half written.
  const HoldEndingSignals hold;
  PendingOutput& p = *pending_;
  if (p.way == PendingOutput::Way::InPlace) {
    CloseInPlace(p, buffer_);
    buffer_.clear();
    return;
  }
  try {
    Flush();
  } catch (...) {
    Discard(p);
    throw;
  }
  const int folder = p.folder->fd;
  if (p.temp.empty()) {
    // A new file takes its name. A replacement, or a new file whose name was taken
    // meanwhile, is named beside it and renamed over what stands there at once, before
    // anything else is done.
    if (p.way == PendingOutput::Way::New && LinkUnnamed(p.fd, folder, p.name.c_str()) == 0) {
      p.open = false;
      if (::close(p.fd) != 0) {
        const int err = errno;
        ::unlinkat(folder, p.name.c_str(), 0);  // it may not be whole
        errno = err;
        throw IOException(ErrnoText("cannot write", p.final));
      }
      return;
    }
    if ((p.way == PendingOutput::Way::New && (errno != EEXIST || !MayReplace(p))) || !LinkUnderTemporaryName(p)) {
      const int err = errno;
      Discard(p);
      errno = err;
      throw IOException(ErrnoText("cannot replace", p.final));
    }
  } else if (::close(std::exchange(p.fd, -1)) != 0) {
    // A file named from the start is closed first: a close that fails keeps it out.
    const int err = errno;
    Discard(p);
    errno = err;
    throw IOException(ErrnoText("cannot write", p.final));
  }
  p.open = false;
  if (::renameat(folder, p.temp.c_str(), folder, p.name.c_str()) != 0) {
    const int err = errno;
    Discard(p);
    errno = err;
    throw IOException(ErrnoText("cannot replace", p.final));
  }
  KeepWhenEnded();
  if (p.fd >= 0 && ::close(p.fd) != 0) throw IOException(ErrnoText("cannot write", p.final));
}

}  // namespace kolvane
