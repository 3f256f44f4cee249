#pragma once
// Class descriptors and the class registry: how the host learns about scene classes and creates
// their instances.

#include "host/ParamBlock2.h"
#include "host/Win32.h"

#include <memory>
#include <string>
#include <vector>

class Interface;
class ParamMap2UserDlgProc;
using IObjParam = Interface;

/// Describes one scene class to the host: identity, names and how to create an instance.
class ClassDesc {
public:
    virtual ~ClassDesc() = default;
    /// Non-zero when the class is offered in the create panels.
    virtual int IsPublic() = 0;
    /// A new instance (owned by the caller until referenced). `loading` is true while a scene
    /// file is read; the instance's Load follows.
    virtual void* Create(BOOL loading = FALSE) = 0;
    virtual const MCHAR* ClassName() = 0;
    virtual const MCHAR* NonLocalizedClassName() { return ClassName(); }
    virtual SClass_ID SuperClassID() = 0;
    virtual Class_ID ClassID() = 0;
    virtual const MCHAR* Category() = 0;
    /// Script-visible name of the class, or null.
    virtual const MCHAR* InternalName() { return nullptr; }
    /// The module the class comes from (null for the host's own classes).
    virtual HINSTANCE HInstance() { return nullptr; }
    virtual BOOL OkToCreate(Interface* i) {
        (void)i;
        return TRUE;
    }
    virtual int NumActionTables() { return 0; }
};

/// A class descriptor that owns parameter block descriptions and builds an object's automatic
/// blocks.
class ClassDesc2 : public ClassDesc {
public:
    /// Registers a block description (done by the ParamBlockDesc2 constructor).
    void AddParamBlockDesc(ParamBlockDesc2* pbd);
    int NumParamBlockDescs() const { return static_cast<int>(m_descs.size()); }
    ParamBlockDesc2* GetParamBlockDesc(int i) const;
    ParamBlockDesc2* GetParamBlockDescByID(BlockID id) const;
    ParamBlockDesc2* GetParamBlockDescByName(const MCHAR* internalName) const;
    /// Builds every P_AUTO_CONSTRUCT block into its reference of `owner`.
    void MakeAutoParamBlocks(ReferenceMaker* owner);
    /// Opens the rollouts of `obj`'s automatic-interface blocks (one per map, from the module's
    /// dialog templates, controls bound to the parameters) and records `obj` as edited. A null
    /// `ip` means the process's Interface.
    virtual void BeginEditParams(IObjParam* ip, ReferenceMaker* obj, ULONG flags, Animatable* prev);
    /// Closes `obj`'s rollouts (user procedures get WM_DESTROY and are deleted).
    virtual void EndEditParams(IObjParam* ip, ReferenceMaker* obj, ULONG flags, Animatable* next);
    /// The open map `map` of the edited object's block of `pbd`, or null.
    IParamMap2* GetParamMap(ParamBlockDesc2* pbd, MapID map = 0) const;
    /// Attaches a user procedure to an open map (see IParamMap2::SetUserDlgProc); false, and
    /// the procedure not taken, when that map is not open.
    bool SetUserDlgProc(ParamBlockDesc2* pbd, MapID map, ParamMap2UserDlgProc* proc);
    /// The object whose rollouts are open, or null.
    ReferenceMaker* EditedObject() const { return m_edited; }

private:
    std::vector<ParamBlockDesc2*> m_descs;
    ReferenceMaker* m_edited = nullptr;
};

/// The registry of every class the host knows: its own and those of loaded modules.
class ClassDirectory {
public:
    /// Registers a descriptor. Refused (false, `error` says why) for null or a class id already
    /// registered under the same super class. The directory does not own module descriptors.
    bool Register(ClassDesc* cd, std::string* error = nullptr);
    /// Registers a descriptor the directory owns (the host's own classes).
    bool RegisterOwned(std::unique_ptr<ClassDesc> cd, std::string* error = nullptr);
    /// Removes a descriptor (when its module is refused).
    void Unregister(ClassDesc* cd);
    ClassDesc* Find(SClass_ID sclass, Class_ID cid) const;
    /// First class whose internal name (or, failing that, class name) matches.
    ClassDesc* FindByName(const MCHAR* name) const;
    int Count() const { return static_cast<int>(m_classes.size()); }
    ClassDesc* Get(int i) const { return m_classes[static_cast<size_t>(i)]; }
    /// A new instance of a registered class, or null.
    void* CreateInstance(SClass_ID sclass, Class_ID cid) const;

private:
    std::vector<ClassDesc*> m_classes;
    std::vector<std::unique_ptr<ClassDesc>> m_owned;
};

/// A new instance of a registered class through the scene's class directory, or null.
void* CreateInstance(SClass_ID sclass, Class_ID cid);
