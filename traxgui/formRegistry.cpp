#include "formRegistry.h"

#include "frmMtDrv.h"
#include "frmTraxApi.h"
#include "frmUsrOss.h"
#include "frmUsrUtl.h"

#include <QString>

#include <array>

namespace traxgui {
namespace {

template <typename Form> TraxForm *makeForm() {
    return new Form();
}

// To build a form into the program, include its header above and put &makeForm<frmXxx>
// in place of its nullptr.
const std::array<FormEntry, 4> kForms{{
    {FormKind::TraxApi, "TRAX_API", "TRAX-API", "TRAX_API Library Test", "mnuMlibTraxApi",
     &makeForm<frmTraxApi>},
    {FormKind::UsrOss, "USR_OSS", "USR-OSS", "USR_OSS Library Test", "mnuMlibUsrOss",
     &makeForm<frmUsrOss>},
    {FormKind::UsrUtl, "USR_UTL", "USR-UTL", "USR_UTL Library Test", "mnuMlibUsrUtl",
     &makeForm<frmUsrUtl>},
    {FormKind::MtDrv, "MT", "MT", "MT TRAX-Driver Test", "mnuMdrvMT", &makeForm<frmMtDrv>},
}};

} // namespace

std::span<const FormEntry> Forms() {
    return kForms;
}

const FormEntry *FindFormByKey(QStringView key) {
    for (const FormEntry &entry : kForms) {
        if (key == QLatin1String(entry.toolbarKey))
            return &entry;
    }
    return nullptr;
}

const FormEntry &FormOf(FormKind kind) {
    return kForms[static_cast<size_t>(kind)];
}

} // namespace traxgui
