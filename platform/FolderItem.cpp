#include "FolderItem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kolvane {

// A file being written: the temporary sibling and where it goes when the stream closes.
struct PendingOutput {
  int fd = -1;
  std::filesystem::path temp;
  std::filesystem::path final;
  bool open = false;
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

std::string ErrnoText(const char* what, const std::filesystem::path& p) {
  return std::string(what) + " " + p.native() + ": " + std::strerror(errno);
}

bool StatOf(const std::filesystem::path& p, struct stat& st) { return ::stat(p.c_str(), &st) == 0; }

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

FolderItem::FolderItem(std::filesystem::path path) : path_(std::filesystem::absolute(path)) {
  // "/a/b/" and "/a/b" are the same item; keep the form whose last component is its name.
  std::string s = path_.native();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  path_ = std::filesystem::path(std::move(s));
}

String FolderItem::Name() const {
  if (path_ == path_.root_path()) return String();
  return String(path_.filename().native(), Encodings::UTF8);
}

String FolderItem::DisplayName() const {
  const std::string raw = path_.filename().native();
  return String(QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size())).toUtf8().toStdString());
}

String FolderItem::AbsolutePath() const { return String(path_.native(), Encodings::UTF8); }

Ref<FolderItem> FolderItem::Parent() const {
  if (path_ == path_.root_path()) return nullptr;
  return New<FolderItem>(path_.parent_path());
}

Ref<FolderItem> FolderItem::Child(const String& name) const {
  const std::string& n = name.Bytes();
  if (n.empty() || n == "." || n == ".." || n.find('/') != std::string::npos ||
      n.find('\0') != std::string::npos) {
    return nullptr;
  }
  return New<FolderItem>(path_ / n);
}

bool FolderItem::Exists() const {
  struct stat st;
  return StatOf(path_, st);
}

bool FolderItem::Visible() const {
  const std::string n = path_.filename().native();
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
    throw IOException(ErrnoText("cannot list", path_));
  }
  errno = 0;
  while (const dirent* e = ::readdir(dir)) {
    const char* n = e->d_name;
    if (std::strcmp(n, ".") == 0 || std::strcmp(n, "..") == 0) continue;
    bool link = e->d_type == DT_LNK;
    if (e->d_type == DT_UNKNOWN) {
      struct stat st;
      link = ::lstat((path_ / n).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    }
    listing_->push_back(Entry{n, link});
  }
  const int err = errno;
  ::closedir(dir);
  if (err != 0) {
    errno = err;
    throw IOException(ErrnoText("cannot list", path_));
  }
  std::sort(listing_->begin(), listing_->end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return static_cast<std::int32_t>(listing_->size());
}

Ref<FolderItem> FolderItem::Item(std::int32_t index) {
  if (!listing_) Count();
  if (index < 1 || static_cast<std::size_t>(index) > listing_->size()) return nullptr;
  const Entry& e = (*listing_)[static_cast<std::size_t>(index) - 1];
  auto item = New<FolderItem>(path_ / e.name);
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
  const PendingOutput* out = pending && pending->open ? pending.get() : nullptr;
  std::string info = ReadFinderInfo(out, path_);
  // A file without codes stays without the attribute when no code is given.
  if (info.empty() && code.IsEmpty()) return;
  info.resize(kFinderInfoSize, '\0');
  std::string bytes = code.Bytes().substr(0, 4);
  bytes.resize(4, '\0');
  info.replace(offset, 4, bytes);
  // File systems without user attributes keep no codes; that is not an error.
  if (out) {
    ::fsetxattr(out->fd, kFinderInfo, info.data(), info.size(), 0);
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
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return New<TextInputStream>(fd);
}

Ref<TextOutputStream> FolderItem::CreateTextFile() {
  if (path_ == path_.root_path()) return nullptr;
  mode_t mode = DefaultFileMode();
  struct stat st;
  if (::lstat(path_.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return nullptr;
    if (S_ISREG(st.st_mode)) mode = st.st_mode & 07777;  // a replaced file keeps its mode
  }
  std::string temp = (path_.parent_path() / ".kolvane-XXXXXX").native();
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return nullptr;
  ::fchmod(fd, mode);
  auto pending = std::make_shared<PendingOutput>();
  pending->fd = fd;
  pending->temp = temp;
  pending->final = path_;
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

TextInputStream::TextInputStream(int fd) : fd_(fd) {}

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
  if (n == 0) atEnd_ = true;
  return n > 0;
}

String TextInputStream::ReadAll(TextEncoding encoding) {
  if (fd_ < 0) throw IOException("read from a closed stream");
  std::string out = buffer_.substr(pos_);
  buffer_.clear();
  pos_ = 0;
  if (atEnd_) return String(std::move(out), encoding);

  // The whole buffer is allocated once, at the file's size and with room for the text to
  // grow when it is converted (a quarter more covers accented text going to UTF-8, and
  // new line breaks): the conversion then needs no second buffer. Room never written
  // costs no memory. Reading through a small chunk spares clearing the buffer first.
  struct stat st;
  const off_t at = ::lseek(fd_, 0, SEEK_CUR);
  if (::fstat(fd_, &st) == 0 && at >= 0 && st.st_size > at) {
    const std::size_t size = out.size() + static_cast<std::size_t>(st.st_size - at);
    out.reserve(size + size / 4 + 64);
  }
  const std::unique_ptr<char[]> chunk(new char[kReadChunk]);
  for (;;) {
    const ssize_t n = ::read(fd_, chunk.get(), kReadChunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw IOException(std::string("read failed: ") + std::strerror(errno));
    }
    if (n == 0) break;
    out.append(chunk.get(), static_cast<std::size_t>(n));
  }
  atEnd_ = true;
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

TextOutputStream::TextOutputStream(std::shared_ptr<PendingOutput> pending)
    : pending_(std::move(pending)) {}

TextOutputStream::~TextOutputStream() {
  if (pending_->open) {
    ::close(pending_->fd);
    ::unlink(pending_->temp.c_str());
    pending_->open = false;
  }
}

namespace {
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
    ::close(p.fd);
    ::unlink(p.temp.c_str());
    p.open = false;
    throw;
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
