#include "ConverterWindow.h"

#include "Labels.h"
#include "app/Prefs_Modul.h"
#include "app/WarnWindow.h"
#include "platform/Dialogs.h"

namespace kolvane {

String ConverterWindow::p_ConvertText(const String& sourceLabel, const String& targetLabel,
                                      String text) {
  try {
    return ConvertText(sourceLabel, targetLabel, std::move(text));
  } catch (const ConversionFailed&) {
    return String();
  }
}

String ConverterWindow::p_ConvertCRLF(const String& sourceLabel, const String& targetLabel,
                                      String text) {
  try {
    return ConvertCRLF(sourceLabel, targetLabel, std::move(text));
  } catch (const ConversionFailed&) {
    return String();
  }
}

// The text is moved into the conversion, so that a conversion that runs out of memory
// has given all of it back before the message asks for more.
String ConverterWindow::ConvertText(const String& sourceLabel, const String& targetLabel, String text) {
  try {
    const TextEncoding source = EncodingOfLabel(sourceLabel);
    const TextEncoding target = EncodingOfLabel(targetLabel);
    const Ref<EncodingConverter> converter = GetEncodingConverter(source, target);
    return converter->Convert(std::move(text));
  } catch (...) {
    MsgBox("application error in ConvertText");
    throw ConversionFailed();
  }
}

String ConverterWindow::ConvertCRLF(const String& sourceLabel, const String& targetLabel, String text) {
  try {
    const String search = LineBreakOfLabel(sourceLabel);
    const String replacement = LineBreakOfLabel(targetLabel);
    return ReplaceAll(std::move(text), search, replacement);
  } catch (...) {
    MsgBox("application error in ConvertCRLF");
    throw ConversionFailed();
  }
}

String ConverterWindow::ApplyChoices(String text) {
  text = ConvertText(SourcePop()->Text(), TargetPop()->Text(), std::move(text));
  if (ConvertLBCB()->Value()) {
    text = ConvertCRLF(LBSourcePop()->Text(), LBTargetPop()->Text(), std::move(text));
  }
  return text;
}

void ConverterWindow::WriteConverted(const Ref<FolderItem>& source, const Ref<FolderItem>& out, const String& text,
                                     const String& type, const String& creator) {
  const Ref<TextOutputStream> stream = out->CreateTextFile();
  // What stands at the name may be the source under another name or path (a second
  // name, a linked folder): the copy must not go over its original.
  if (stream && stream->Replaces(*source)) throw IOException("the output is the source");
  out->SetMacCreator(creator);
  out->SetMacType(type);
  stream->Write(text);
  stream->Close();
}

Ref<FolderItem> ConverterWindow::p_ConvertSingleFile(Ref<FolderItem> file) {
  try {
    // The codes are taken once the file is open: they come with it.
    const Ref<TextInputStream> in = file->OpenAsTextFile();
    const String type = file->MacType();
    const String creator = file->MacCreator();
    const TextEncoding readEncoding = EncodingOfLabel(SourcePop()->Text());
    String text = in->ReadAll(readEncoding);
    in->Close();

    text = ApplyChoices(std::move(text));
    const Ref<FolderItem> out = file->Parent()->Child(ConvertedFileName(file->Name()));
    WriteConverted(file, out, text, type, creator);
    return out;
  } catch (const ConversionFailed&) {
    return nullptr;  // reported where it failed
  } catch (...) {
    MsgBox("application error in ConvertSingleFile");
    return nullptr;
  }
}

ConverterWindow::RunOutputScope::RunOutputScope(ConverterWindow& window, const Ref<FolderItem>& source,
                                                const Ref<FolderItem>& target)
    : window_(window), savedOutput_(window.runOutput_), savedSource_(window.runSource_) {
  window.runOutput_ = source && target ? target->Child(source->Name() + "_Converted") : nullptr;
  window.runSource_ = source;
  if (source) source->KeepWalksOutOf(window.runOutput_);
}

ConverterWindow::RunOutputScope::~RunOutputScope() {
  if (window_.runSource_) window_.runSource_->KeepWalksOutOf(nullptr);
  window_.runOutput_ = savedOutput_;
  window_.runSource_ = savedSource_;
  if (savedSource_) savedSource_->KeepWalksOutOf(savedOutput_);
}

ConverterWindow::ConversionGuard::ConversionGuard(ConverterWindow& window)
    : window_(window), refused_(window.conversionUnderWay_) {
  window.conversionUnderWay_ = true;
}

ConverterWindow::ConversionGuard::~ConversionGuard() {
  if (!refused_) window_.conversionUnderWay_ = false;
}

void ConverterWindow::p_CountItems(Ref<FolderItem> folder) {
  try {
    const std::int32_t n = folder->Count();
    for (std::int32_t i = 1; i <= n; ++i) {
      const Ref<FolderItem> item = folder->Item(i);
      if (item && item->Visible()) {
        if (item->Directory()) {
          p_CountItems(item);
        } else {
          ItemCount = ItemCount + 1;
        }
      }
      RuntimeBackgroundTask();
    }
  } catch (...) {
    UpdateProtocoll("Exception p_CountItems");
  }
}

void ConverterWindow::p_Convert(Ref<FolderItem> source, Ref<FolderItem> target) {
  // The output folder is known before the count, so that a target inside the source
  // tree is neither counted nor walked into.
  const RunOutputScope output(*this, source, target);
  try {
    ItemCount = 0;
    p_CountItems(source);
    StatusBar()->SetMaximum(ItemCount);
    StatusBar()->SetValue(0);
    myPanel()->SetValue(1);
    Refresh(true);

    const Ref<FolderItem> out = target->Child(source->Name() + "_Converted");
    out->CreateAsFolder();
    // A plain file standing at that name, or a link back into the source tree, is no
    // folder to convert into: the copies would land on the originals.
    if (out->Exists() && out->Directory() && !out->IsSameItemAs(*source) && !out->LinksInto(*source)) {
      ConvertItems(source, out);
      WarnWindow()->InitWindow(1, "Conversion done successfull.", "OK", "", "");
    }
  } catch (...) {
    UpdateProtocoll("Exception p_RenameItems");
  }
  // However the run ended, the screen shows where it stands.
  ShowPendingUpdates();
}

void ConverterWindow::p_ConvertSubFolder(Ref<FolderItem> source, Ref<FolderItem> targetParent) {
  try {
    const Ref<FolderItem> out = targetParent->Child(source->Name());
    out->CreateAsFolder();
    if (!out->Exists()) return;
    // A link left in an earlier copy that leads back into the source tree is skipped like
    // a folder that cannot be made: the copies would land on the originals.
    if (runSource_ && out->LinksInto(*runSource_)) return;
    ConvertItems(source, out);
  } catch (...) {
    UpdateProtocoll("Exception p_RenameItems");
  }
}

void ConverterWindow::ConvertItems(const Ref<FolderItem>& source, const Ref<FolderItem>& out) {
  // The run's own output met in the tree counts no entries: it is copied as an empty
  // folder, never entered.
  const std::int32_t n = source->Count();
  for (std::int32_t i = 1; i <= n; ++i) {
    if (Keyboard::AsyncKeyDown(53)) break;  // Escape
    const Ref<FolderItem> item = source->Item(i);
    if (item && item->Visible()) {
      if (item->Directory()) {
        p_ConvertSubFolder(item, out);
      } else {
        p_ConvertFile(item, out);
      }
    }
    RuntimeBackgroundTask();
  }
}

void ConverterWindow::p_ConvertFile(Ref<FolderItem> source, Ref<FolderItem> targetFolder) {
  try {
    const Ref<TextInputStream> in = source->OpenAsTextFile();
    const String type = source->MacType();
    const String creator = source->MacCreator();
    String text = in->ReadAll();
    in->Close();

    text = ApplyChoices(std::move(text));
    const Ref<FolderItem> out = targetFolder->Child(source->Name());
    WriteConverted(source, out, text, type, creator);

    StatusBar()->SetValue(StatusBar()->Value() + 1);
    StatusText()->SetText(Str(StatusBar()->Value()) + " of " + Str(ItemCount) + " (hit esc to stop)");
    Refresh(true);
    UpdateNow();
  } catch (const ConversionFailed&) {
    // Reported where it failed; the run goes on with the next item.
  } catch (...) {
    MsgBox("application error in p_ConvertFile");
  }
}

void ConverterWindow::p_SetTargetFolder() {
  try {
    const Ref<FolderItem> folder = SelectFolder();
    if (folder) TargetFolder = folder;
  } catch (...) {
    UpdateProtocoll("Exception in p_GetFolder");
  }
}

}  // namespace kolvane
