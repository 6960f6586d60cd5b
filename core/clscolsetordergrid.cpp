#include "core/clscolsetordergrid.h"

#include "core/modgeneral.h"

QString clsColSetOrderGrid::FullPath() const { return modGeneral::ValidateDir(m_FileLocation) + m_filename; }
