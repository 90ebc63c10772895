#pragma once
// CDropTarget: the one OLE drop target of the program, registered on every
// note window and on the main window.  Files, internet shortcuts and text
// dropped on a note window become items of its note; dropped on a program
// item, files start that program with their paths as its arguments.
//
// Its owner keeps it for as long as any window may have it registered:
// OLE's references end with RevokeDragDrop, and the owner's reference is
// the one it was made with, so Release never frees the object; the owner
// does, after the windows are gone.  Interface thread only.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumo::notes {

struct ProgramContext;

// COM interfaces have no virtual destructor by design: objects are freed by
// whoever owns them, never through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class CDropTarget final : public IDropTarget {
 public:
  // Starts a "<run>" text (program, optionally "|" and its arguments): the
  // launcher lives with the item actions, which sit above the windows.
  using ProgramRunner = std::function<void(std::u16string_view runText)>;

  CDropTarget(ProgramContext& context, ProgramRunner runProgram);
  virtual ~CDropTarget() = default;
  CDropTarget(const CDropTarget&) = delete;
  CDropTarget& operator=(const CDropTarget&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
  void ChooseDropEffect(DWORD keyState, DWORD* effect) const;

  ULONG References() const { return static_cast<ULONG>(references_); }

 private:
  ProgramContext& context_;
  ProgramRunner runProgram_;
  LONG references_ = 1;
  bool accepted_ = false;
};
#pragma GCC diagnostic pop

// The paths of a shell file drop, each at most MAX_PATH units.
std::vector<std::u16string> DroppedFilePaths(HDROP drop);
// Each path becomes a "<run>" item of the note; the note is announced once.
void MakeRunItems(ProgramContext& context, std::uint32_t note, const std::vector<std::u16string>& paths);

}  // namespace vellumo::notes
