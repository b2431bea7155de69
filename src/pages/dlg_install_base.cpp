#include "pages/dlg_install_base.h"

CDlgInstallBase::~CDlgInstallBase() = default;
