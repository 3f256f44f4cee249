#pragma once
// The rigid modifier's bake offered to scripts and the command-line tool through the host's
// IQXBake interface: the "Bake" button's work with the modifier's own settings.

#include "host/IQXBake.h"
#include "modifier/QX_RIGID_MOD.h"
#include "modifier/QX_RIGID_MOD_Bake.h"

/// IQXBake over one rigid modifier (not owned; the modifier owns this object).
class QX_Bake_Adapter : public IQXBake {
public:
    explicit QX_Bake_Adapter(QX_RIGID_MOD& owner) : m_owner(owner) {}

    bool Bake(Tab<INode*>& made, int* skippedRecords) override {
        QX_Bake_Report report;
        // The modifier, and with it this adapter, may be gone when Bake returns (its node
        // deleted): nothing of either is touched afterwards.
        const bool deleted = m_owner.Bake(&made, &report);
        if (skippedRecords)
            *skippedRecords = report.skippedRecords;
        return deleted;
    }

private:
    QX_RIGID_MOD& m_owner;
};
