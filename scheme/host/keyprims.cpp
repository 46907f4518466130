// The key primitives and the input box.
#include "scheme/host/macrohost.h"
#include "scheme/sch_impl.h"

SchemeCell* AppInputBox(SchemeInterpreter* sc, SchemeCell**, int) {
    return sc->F;
}

SchemeCell* AppSetKey(SchemeInterpreter* sc, SchemeCell**, int) {
    return sc->F;
}

SchemeCell* AppSetCancelKey(SchemeInterpreter* sc, SchemeCell**, int) {
    return sc->F;
}
