#include "ConverterWindow.h"

#include "Labels.h"
#include "platform/Dialogs.h"

namespace kolvane {

String ConverterWindow::p_ConvertText(const String& sourceLabel, const String& targetLabel,
                                      String text) {
  try {
    const TextEncoding source = EncodingOfLabel(sourceLabel);
    const TextEncoding target = EncodingOfLabel(targetLabel);
    const Ref<EncodingConverter> converter = GetEncodingConverter(source, target);
    return converter->Convert(std::move(text));
  } catch (...) {
    MsgBox("application error in ConvertText");
    return String();
  }
}

String ConverterWindow::p_ConvertCRLF(const String& sourceLabel, const String& targetLabel,
                                      String text) {
  try {
    const String search = LineBreakOfLabel(sourceLabel);
    const String replacement = LineBreakOfLabel(targetLabel);
    return ReplaceAll(std::move(text), search, replacement);
  } catch (...) {
    MsgBox("application error in ConvertCRLF");
    return String();
  }
}

Ref<FolderItem> ConverterWindow::p_ConvertSingleFile(Ref<FolderItem> file) {
  try {
    const String type = file->MacType();
    const String creator = file->MacCreator();
    const Ref<TextInputStream> in = file->OpenAsTextFile();
    const TextEncoding readEncoding = EncodingOfLabel(SourcePop()->Text());
    String text = in->ReadAll(readEncoding);
    in->Close();

    text = p_ConvertText(SourcePop()->Text(), TargetPop()->Text(), std::move(text));
    if (ConvertLBCB()->Value()) {
      text = p_ConvertCRLF(LBSourcePop()->Text(), LBTargetPop()->Text(), std::move(text));
    }

    const Ref<FolderItem> out = file->Parent()->Child(ConvertedFileName(file->Name()));
    const Ref<TextOutputStream> stream = out->CreateTextFile();
    out->SetMacCreator(creator);
    out->SetMacType(type);
    stream->Write(text);
    stream->Close();
    return out;
  } catch (...) {
    MsgBox("application error in ConvertSingleFile");
    return nullptr;
  }
}

}  // namespace kolvane
