// References to files and folders, and the text streams that read and write them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Runtime.h"
#include "String.h"

namespace kolvane {

class TextInputStream;
class TextOutputStream;
class Picture;
struct PendingOutput;
struct WalkStep;
struct FolderHandle;

// What CreateTextFile does with a symbolic link standing at the name: replace the link
// with the new file, or write the file the link names, in that file's own folder.
enum class LinkAtName { Replace, WriteThrough };

// A file or folder by its path. It may name an item that does not exist (yet). Names are
// the file system's bytes, unchanged, so a name that is not valid UTF-8 still round-trips.
class FolderItem {
 public:
  explicit FolderItem(const std::filesystem::path& path);
  // A path already absolute and trimmed, as a listing or a parent makes them.
  struct Trusted {};
  FolderItem(std::string path, Trusted);

  // The last component of the path; empty at the root.
  String Name() const;
  // The name as it is shown to a person: bytes that are not valid UTF-8 show as U+FFFD.
  String DisplayName() const;
  String AbsolutePath() const;
  const std::string& NativePath() const { return path_; }

  // The containing folder, or none at the top.
  Ref<FolderItem> Parent() const;
  // The entry of that name in this folder, whether or not it exists; none for a name
  // that cannot be an entry ("", ".", ".." or one holding "/").
  Ref<FolderItem> Child(const String& name) const;

  bool Exists() const;
  // Hidden items (names starting with ".") are not visible.
  bool Visible() const;
  // An item reached through a listing answers from what the listing said it was, where
  // the listing could tell; a walk over many files needs no look at each one.
  bool Directory() const;

  // Number of entries of a folder, 0 for anything else. Reading it lists the folder;
  // Item() numbers the entries of that listing from 1, ordered by name. Folders reached
  // through a listing, symbolic links to folders included, are entered like any folder,
  // except one that would make the walk go round (a folder already on the way down from
  // the first folder listed, or one that holds that first folder) and one the walk keeps
  // out of. Such a folder counts no entries. Raises IOException when the folder exists
  // but cannot be listed.
  std::int32_t Count();
  // The entry at index (1 to Count), or none outside that range.
  Ref<FolderItem> Item(std::int32_t index);

  // Classic Mac OS type and creator codes, kept in the extended attribute
  // "user.com.apple.FinderInfo" (type then creator, the first 8 of 32 bytes). Empty when
  // the item has none; setting them does nothing where the file system keeps none.
  String MacType() const;
  String MacCreator() const;
  void SetMacType(const String& code);
  void SetMacCreator(const String& code);

  // A stream over the file's bytes, or none when it is not a regular file that can be
  // opened for reading (a folder, a FIFO or a device is never opened).
  Ref<TextInputStream> OpenAsTextFile() const;
  // A stream that creates or replaces the file, or none when it cannot be created. A new
  // file, or one replacing a file the user may write in a folder the user may write, is
  // written without a name and takes the name only when the stream closes (as a hidden
  // temporary sibling where the file system has no unnamed files), so it is written whole
  // or not at all, a program ended while writing it leaves nothing behind, and a replaced
  // file keeps its permission bits. A file the user may not write is never replaced: there
  // is no stream. A file the user may write in a folder the user may not write is
  // rewritten in place, whole, when the stream closes. Nothing at the name is touched
  // before the stream writes, and codes set while it is open arrive with the finished file.
  Ref<TextOutputStream> CreateTextFile(LinkAtName atLink = LinkAtName::Replace);
  // Walks that start at this folder do not enter that folder, nor, through a link, any
  // folder it holds (none: no such limit). It takes effect at the next listing.
  void KeepWalksOutOf(Ref<FolderItem> folder);
  // Whether the item is a symbolic link to the folder or to a place the folder holds.
  bool LinksInto(const FolderItem& folder) const;

  // Creates the folder; an existing item is left as it is. The outcome is not reported.
  // Files then created in a folder made here are known to be new: they are written
  // without first looking for something at their names.
  void CreateAsFolder();
  // The picture in the file, or none when it cannot be read as one.
  Ref<Picture> OpenAsPicture() const;

  // Whether both name the same item on disk (following symbolic links).
  bool IsSameItemAs(const FolderItem& other) const;

 private:
  // What a listing said an entry was; links and file systems that do not say are looked at.
  enum class Kind : std::uint8_t { Unknown, Folder, File, Other };
  struct Entry {
    std::string name;
    Kind kind;
  };
  friend class TextOutputStream;
  // Where the system calls find the item: through the open folder that holds it when
  // there is one, so that each looks up one name instead of the whole path. A path too
  // long to be taken whole is reached through its folder, opened a part at a time.
  struct Place {
    int folder;
    const char* name;
    std::shared_ptr<const FolderHandle> opened;  // held while the place is in use
  };
  std::string PathOf(std::string_view name) const;
  Place Where() const;
  bool IsRoot() const;
  // The name as the path holds it; empty at the root.
  std::string_view LastComponent() const;
  void ReadCodes() const;
  void WriteCode(std::size_t offset, const String& code);

  std::string path_;
  std::optional<std::vector<Entry>> listing_;
  Kind kind_ = Kind::Unknown;
  // For an item reached through a listing: the folders above it on the way down.
  std::shared_ptr<const WalkStep> above_;
  // For a listed folder: itself as a step of the way down, handed to its entries.
  std::shared_ptr<const WalkStep> step_;
  // A listed folder held open for its entries, a folder made here held open for the
  // files written into it, and the open folder holding this item, when it was reached
  // through one of those.
  std::shared_ptr<const FolderHandle> listedHandle_;
  std::shared_ptr<const FolderHandle> madeHandle_;
  std::shared_ptr<const FolderHandle> within_;
  mutable std::optional<std::string> codes_;  // the 8 bytes of type and creator
  std::weak_ptr<PendingOutput> pending_;      // an output stream still writing this item
  bool creationFailed_ = false;               // the last CreateTextFile gave none
  bool madeHere_ = false;                     // a folder CreateAsFolder made
  Ref<FolderItem> keepOut_;                   // what walks from here do not enter
  bool inFolderMadeHere_ = false;             // an entry of such a folder
};

class TextInputStream {
 public:
  // size: the file's size when it was opened. It sizes the buffers, and a read that
  // comes back short with all of it in ends the file; a size of 0 tells nothing.
  TextInputStream(int fd, std::uint64_t size);
  ~TextInputStream();
  TextInputStream(const TextInputStream&) = delete;
  TextInputStream& operator=(const TextInputStream&) = delete;

  // Everything from the current position to the end, labelled with the encoding.
  String ReadAll(TextEncoding encoding = TextEncoding());
  // The next line without its line ending (CR, LF or CR LF).
  String ReadLine(TextEncoding encoding = TextEncoding());
  // True when nothing is left to read. (EOF itself is a macro of the C library.)
  bool EOF_();
  void Close();

 private:
  bool Fill();
  int fd_;
  std::uint64_t size_;
  std::uint64_t consumed_ = 0;  // bytes read from the file so far
  std::string buffer_;
  std::size_t pos_ = 0;
  bool atEnd_ = false;
};

class TextOutputStream {
 public:
  explicit TextOutputStream(std::shared_ptr<PendingOutput> pending);
  ~TextOutputStream();
  TextOutputStream(const TextOutputStream&) = delete;
  TextOutputStream& operator=(const TextOutputStream&) = delete;

  // Writes the bytes exactly as they are.
  void Write(const String& text);
  // Writes the text and the stream's line ending, LF.
  void WriteLine(const String& text);
  // Whether what stood at the name when the stream was created is that item: the same
  // entry, or the file it names. Asked before writing, nothing has been touched yet.
  bool Replaces(const FolderItem& item) const;
  // Puts the written file in place. A stream dropped without Close leaves no trace.
  void Close();

 private:
  void Flush();
  std::shared_ptr<PendingOutput> pending_;
  std::string buffer_;
};

}  // namespace kolvane
