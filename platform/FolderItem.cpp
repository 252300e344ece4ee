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
#include <random>

namespace kolvane {

// A file being written: the temporary sibling, or none while the file has no name yet,
// and where it goes when the stream closes.
struct PendingOutput {
  int fd = -1;
  std::string temp;
  std::string final;
  bool open = false;
  // The type and creator attribute as set through this stream: the temporary file is
  // new, so it starts with none, and setting the codes needs no read of it.
  std::string finderInfo;
};

namespace {

constexpr const char* kFinderInfo = "user.com.apple.FinderInfo";
constexpr std::size_t kFinderInfoSize = 32;
constexpr std::size_t kStreamChunk = 64 * 1024;
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

bool StatOf(const std::filesystem::path& p, struct stat& st) { return ::stat(p.c_str(), &st) == 0; }

// Files opened with O_TMPFILE are used only where /proc is there to name them, should the
// kernel not let them be named directly.
bool CanNameUnnamedFiles() {
  static const bool can = ::access("/proc/self/fd", X_OK) == 0;
  return can;
}

std::string ReadFinderInfo(const PendingOutput* pending, const std::filesystem::path& p) {
  char buf[kFinderInfoSize];
  const ssize_t n = pending ? ::fgetxattr(pending->fd, kFinderInfo, buf, sizeof buf)
                            : ::getxattr(p.c_str(), kFinderInfo, buf, sizeof buf);
  if (n <= 0) return std::string();
  return std::string(buf, static_cast<std::size_t>(n));
}

// A four-character code: trailing NULs are not part of it.
String CodeAt(const std::string& codes, std::size_t offset) {
  if (codes.size() < offset + 4) return String(std::string(), Encodings::MacRoman);
  std::string code = codes.substr(offset, 4);
  while (!code.empty() && code.back() == '\0') code.pop_back();
  return String(std::move(code), Encodings::MacRoman);
}

}  // namespace

FolderItem::FolderItem(std::filesystem::path path) : path_(std::move(path)) {
  if (!path_.is_absolute()) path_ = std::filesystem::absolute(path_);
  // "/a/b/" and "/a/b" are the same item; keep the form whose last component is its name.
  const std::string& s = path_.native();
  if (s.size() > 1 && s.back() == '/') {
    std::string trimmed = s;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    path_ = std::filesystem::path(std::move(trimmed));
  }
}

// A folder's entry: its path is already absolute and trimmed, so plain joining keeps it
// so, and a run over many files builds each path once.
std::filesystem::path FolderItem::PathOf(std::string_view name) const {
  std::string s = path_.native();
  if (!IsRoot()) s += '/';
  s += name;
  return std::filesystem::path(std::move(s));
}

bool FolderItem::IsRoot() const { return path_.native() == "/"; }

std::string_view FolderItem::LastComponent() const {
  const std::string& s = path_.native();
  return IsRoot() ? std::string_view() : std::string_view(s).substr(s.rfind('/') + 1);
}

String FolderItem::Name() const {
  return String(std::string(LastComponent()), Encodings::UTF8);
}

String FolderItem::DisplayName() const {
  const std::string_view raw = LastComponent();
  return String(QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size())).toUtf8().toStdString());
}

String FolderItem::AbsolutePath() const { return String(path_.native(), Encodings::UTF8); }

Ref<FolderItem> FolderItem::Parent() const {
  if (IsRoot()) return nullptr;
  return New<FolderItem>(path_.parent_path());
}

Ref<FolderItem> FolderItem::Child(const String& name) const {
  const std::string& n = name.Bytes();
  if (n.empty() || n == "." || n == ".." || n.find('/') != std::string::npos ||
      n.find('\0') != std::string::npos) {
    return nullptr;
  }
  return New<FolderItem>(PathOf(n));
}

bool FolderItem::Exists() const {
  struct stat st;
  return StatOf(path_, st);
}

bool FolderItem::Visible() const {
  const std::string_view n = LastComponent();
  return n.empty() || n[0] != '.';
}

bool FolderItem::Directory() const {
  struct stat st;
  return StatOf(path_, st) && S_ISDIR(st.st_mode);
}

std::int32_t FolderItem::Count() {
  listing_.emplace();
  if (viaLink_) return 0;
  DIR* dir = ::opendir(path_.c_str());
  if (!dir) {
    if (errno == ENOENT || errno == ENOTDIR) return 0;
    throw IOException(ErrnoText("cannot list", path_.native()));
  }
  errno = 0;
  while (const dirent* e = ::readdir(dir)) {
    const char* n = e->d_name;
    if (std::strcmp(n, ".") == 0 || std::strcmp(n, "..") == 0) continue;
    bool link = e->d_type == DT_LNK;
    if (e->d_type == DT_UNKNOWN) {
      struct stat st;
      link = ::lstat(PathOf(n).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    }
    listing_->push_back(Entry{n, link});
  }
  const int err = errno;
  ::closedir(dir);
  if (err != 0) {
    errno = err;
    throw IOException(ErrnoText("cannot list", path_.native()));
  }
  std::sort(listing_->begin(), listing_->end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return static_cast<std::int32_t>(listing_->size());
}

Ref<FolderItem> FolderItem::Item(std::int32_t index) {
  if (!listing_) Count();
  if (index < 1 || static_cast<std::size_t>(index) > listing_->size()) return nullptr;
  const Entry& e = (*listing_)[static_cast<std::size_t>(index) - 1];
  auto item = New<FolderItem>(PathOf(e.name));
  item->viaLink_ = e.viaLink;
  return item;
}

void FolderItem::ReadCodes() const {
  if (codes_) return;
  const auto pending = pending_.lock();
  codes_ = ReadFinderInfo(pending && pending->open ? pending.get() : nullptr, path_);
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
  const auto pending = pending_.lock();
  PendingOutput* out = pending && pending->open ? pending.get() : nullptr;
  std::string info = out ? out->finderInfo : ReadFinderInfo(nullptr, path_);
  // A file without codes stays without the attribute when no code is given.
  if (info.empty() && code.IsEmpty()) return;
  info.resize(kFinderInfoSize, '\0');
  std::string bytes = code.Bytes().substr(0, 4);
  bytes.resize(4, '\0');
  info.replace(offset, 4, bytes);
  // File systems without user attributes keep no codes; that is not an error.
  if (out) {
    if (::fsetxattr(out->fd, kFinderInfo, info.data(), info.size(), 0) == 0) out->finderInfo = info;
  } else {
    ::setxattr(path_.c_str(), kFinderInfo, info.data(), info.size(), 0);
  }
  codes_.reset();
}

Ref<TextInputStream> FolderItem::OpenAsTextFile() const {
  // Only regular files are opened: opening a FIFO or a device could block or act.
  struct stat st;
  if (!StatOf(path_, st) || !S_ISREG(st.st_mode)) return nullptr;
  const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return nullptr;
  // Something else may have taken the name since the check; O_NONBLOCK kept that from
  // blocking. On a regular file it changes nothing, so it can stay set.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return New<TextInputStream>(fd, static_cast<std::uint64_t>(st.st_size));
}

Ref<TextOutputStream> FolderItem::CreateTextFile() {
  if (IsRoot()) return nullptr;
  mode_t mode = DefaultFileMode();
  struct stat st;
  const bool exists = ::lstat(path_.c_str(), &st) == 0;
  if (exists) {
    if (S_ISDIR(st.st_mode)) return nullptr;
    if (S_ISREG(st.st_mode)) mode = st.st_mode & 07777;  // a replaced file keeps its mode
  }
  const std::string& final = path_.native();
  const std::string folder = final.substr(0, final.rfind('/') + 1);
  auto pending = std::make_shared<PendingOutput>();
  // A new file is written without a name and linked to its name once whole: one entry
  // added to the folder, where a temporary one would be added, then renamed. Where the
  // file system has no unnamed files, or a file is replaced, it is the temporary sibling.
  int fd = -1;
  if (!exists && CanNameUnnamedFiles()) fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) {
    std::string temp = folder + ".kolvane-XXXXXX";
    fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return nullptr;
    ::fchmod(fd, mode);
    pending->temp = std::move(temp);
  }
  pending->fd = fd;
  pending->final = final;
  pending->open = true;
  pending_ = pending;
  codes_.reset();
  return New<TextOutputStream>(std::move(pending));
}

void FolderItem::CreateAsFolder() {
  ::mkdir(path_.c_str(), 0777);
  listing_.reset();
}

bool FolderItem::IsSameItemAs(const FolderItem& other) const {
  struct stat a, b;
  return StatOf(path_, a) && StatOf(other.path_, b) && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
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
  // conversion and line-break change makes of it. Room is reserved, not touched, and
  // large blocks are mapped page by page as they are written, so room never written
  // costs address space only. Where even that cannot be had, the text alone.
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

  // Until read() sees the end: a file may have grown since it was opened.
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
        filled += static_cast<std::size_t>(n);
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
int LinkUnnamed(int fd, const std::string& name) {
  static bool direct = true;
  if (direct) {
    if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
    if (errno != ENOENT && errno != EPERM) return -1;
  }
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  const int linked = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
  if (linked == 0) direct = false;
  return linked;
}

// Names an unnamed output as a hidden temporary sibling of its final name.
bool LinkUnderTemporaryName(PendingOutput& p) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static std::mt19937 rng{std::random_device{}()};
  const std::string folder = p.final.substr(0, p.final.rfind('/') + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temp = folder + ".kolvane-";
    for (int i = 0; i < 6; ++i) temp += kLetters[rng() % (sizeof kLetters - 1)];
    if (LinkUnnamed(p.fd, temp) == 0) {
      p.temp = std::move(temp);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

// Drops an output that is not to be put in place.
void Discard(PendingOutput& p) {
  ::close(p.fd);
  if (!p.temp.empty()) ::unlink(p.temp.c_str());
  p.open = false;
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

TextOutputStream::~TextOutputStream() {
  if (pending_->open) Discard(*pending_);
}

void TextOutputStream::Flush() {
  if (buffer_.empty()) return;
  WriteFully(pending_->fd, buffer_.data(), buffer_.size());
  buffer_.clear();
}

void TextOutputStream::Write(const String& text) {
  if (!pending_->open) throw IOException("write to a closed stream");
  const std::string& bytes = text.Bytes();
  if (buffer_.size() + bytes.size() < kStreamChunk) {
    buffer_ += bytes;
    return;
  }
  Flush();
  WriteFully(pending_->fd, bytes.data(), bytes.size());
}

void TextOutputStream::WriteLine(const String& text) {
  Write(text);
  Write(EndOfLine());
}

void TextOutputStream::Close() {
  if (!pending_->open) return;
  PendingOutput& p = *pending_;
  try {
    Flush();
  } catch (...) {
    Discard(p);
    throw;
  }
  if (p.temp.empty()) {
    if (LinkUnnamed(p.fd, p.final) == 0) {
      p.open = false;
      if (::close(p.fd) != 0) {
        const int err = errno;
        ::unlink(p.final.c_str());  // it may not be whole
        errno = err;
        throw IOException(ErrnoText("cannot write", p.final));
      }
      return;
    }
    // Something stands at the name by now: it is replaced, as any file is.
    if (errno != EEXIST || !LinkUnderTemporaryName(p)) {
      const int err = errno;
      Discard(p);
      errno = err;
      throw IOException(ErrnoText("cannot replace", p.final));
    }
  }
  p.open = false;
  if (::close(p.fd) != 0) {
    ::unlink(p.temp.c_str());
    throw IOException(ErrnoText("cannot write", p.final));
  }
  if (::rename(p.temp.c_str(), p.final.c_str()) != 0) {
    const int err = errno;
    ::unlink(p.temp.c_str());
    errno = err;
    throw IOException(ErrnoText("cannot replace", p.final));
  }
}

}  // namespace kolvane
