// The key primitives and the input box: app-set-key binds a named key to a
// procedure the main frame runs when the key goes down, app-set-cancel-key
// names the key that stops a running script, app-input-box asks for a line
// of text.
#include <afxwin.h>

#include <cstdint>

#include "app/dialogs/acceltable.h"
#include "app/dialogs/inputdlg.h"
#include "scheme/host/macrohost.h"
#include "scheme/sch_impl.h"

namespace {

void* KeyOf(uint32_t code) {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(code));
}

} // namespace

uint32_t macro_key_code(int fVirt, int virtualKey) {
    return static_cast<uint32_t>(fVirt & 0xFF) << 16 | static_cast<uint32_t>(virtualKey & 0xFFFF);
}

uint32_t macro_key_down_code(unsigned virtualKey) {
    int flags = FVIRTKEY | FNOINVERT;
    if (GetAsyncKeyState(VK_SHIFT) & 0x8000) flags |= FSHIFT;
    if (GetAsyncKeyState(VK_CONTROL) & 0x8000) flags |= FCONTROL;
    if (GetAsyncKeyState(VK_MENU) & 0x8000) flags |= FALT;
    return macro_key_code(flags, static_cast<int>(virtualKey));
}

SchemeCell* AppInputBox(SchemeInterpreter* sc, SchemeCell** args, int count) {
    // The dialog belongs to the main frame: without one (the library scripts
    // load on the start-up thread, which makes no window) there is none.
    CFrameWnd* frame = macro_main_frame(sc);
    if (!frame) return sc->F;
    CInputDlg dlg;
    if (count > 0) dlg.m_title = sch_string_text(args[0]);
    if (count > 1) dlg.m_text = sch_string_text(args[1]);
    if (dlg.RunModal(frame) != IDOK) return sc->F;
    return mk_string(sc, dlg.m_text);
}

SchemeCell* AppSetKey(SchemeInterpreter* sc, SchemeCell** args, int count) {
    MacroHost* h = macro_host(sc);
    int key = 0, fVirt = 0;
    // A name that denotes no key ("Ctrl+") would bind a code no key-down has.
    if (!h || !AccelTable::ParseKeyName(sch_string_text(args[0]), &key, &fVirt)) return sc->F;
    if (sch_safe_protect(sc, args[1]) != 0) return sc->F;
    auto* binding = new (std::nothrow) ScriptKeyBinding;
    if (!binding) {
        sch_unprotect(sc, args[1]);
        return sc->F;
    }
    binding->keyName = sch_string_text(args[0]);
    if (count > 2) binding->description = sch_string_text(args[2]);
    binding->procedure = args[1];
    void* code = KeyOf(macro_key_code(fVirt, key));
    void* old = nullptr;
    if (h->keys->Lookup(code, old)) {
        auto* previous = static_cast<ScriptKeyBinding*>(old);
        sch_unprotect(sc, previous->procedure);
        delete previous;
    }
    h->keys->SetAt(code, binding);
    return sc->T;
}

SchemeCell* AppSetCancelKey(SchemeInterpreter* sc, SchemeCell** args, int) {
    int key = 0, fVirt = 0;
    // A name without a key keeps the cancel key there is.
    if (!AccelTable::ParseKeyName(sch_string_text(args[0]), &key, &fVirt)) return sc->F;
    sc->cancelModifiers = fVirt;
    sc->cancelKey = key;
    return sc->T;
}
