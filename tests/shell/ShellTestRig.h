#pragma once

// The login rig plus the shell's request classes and stores.
#include "login/LoginTestRig.h"
#include "shell/ShellDataModels.h"
#include "shell/menu/MenuManager.h"
#include "shell/messages/MessageCenterManager.h"

namespace shelltest {

template <class Base> class WithShell : public Base {
protected:
    void SetUp() override
    {
        Base::SetUp();
        registerShellDataModels();
    }
    void TearDown() override
    {
        MenuManager::resetInstance();
        MessageCenterManager::resetInstance();
        Base::TearDown();
    }
};

using ShellHomeFixture = WithShell<logintest::HomeFixture>;
using ShellSimulatorFixture = WithShell<logintest::SimulatorFixture>;

// A menu node from plain fields.
inline RDOMenuInfo::Ptr node(const char* id, const char* pid, const char* name, const char* link = "")
{
    return RDOMenuInfo::fromFields(QString::fromUtf8(id), QString::fromUtf8(pid), QString::fromUtf8(name),
        QString::fromUtf8(link), QString());
}

// The ids of a node's children, joined by ",".
inline QString childIds(const RDOMenuInfo& parent)
{
    QStringList ids;
    for (const RDOMenuInfo::Ptr& child : parent.childArray)
        ids.append(child->menuId);
    return ids.join(u',');
}

} // namespace shelltest
