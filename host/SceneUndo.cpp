// Undo records of the scene itself: a node entering or leaving the scene, and the selection.

#include "host/Interface.h"

#include <algorithm>

/// A node's presence in the scene. The record toggles it: taking the node out parks it here
/// (alive, with its object and controllers), putting it back restores its place in the node
/// list, its parent, the children it had and the references other objects held to it.
class NodeLifeRestore final : public RestoreObj {
public:
    /// For a node that is in the scene now.
    explicit NodeLifeRestore(INode* node) : m_node(node) {}

    /// Takes the node out of the scene: NOTIFY_SCENE_PRE_DELETED_NODE, children to its parent,
    /// REFMSG_TARGET_DELETED to its dependents, references to it dropped and remembered.
    void TakeOut() {
        Interface& ip = *GetCOREInterface();
        BroadcastNotification(NOTIFY_SCENE_PRE_DELETED_NODE, m_node);
        const auto it = std::find_if(ip.m_nodes.begin(), ip.m_nodes.end(),
                                     [&](const auto& owned) { return owned.get() == m_node; });
        if (it == ip.m_nodes.end())
            return;
        m_index = static_cast<size_t>(it - ip.m_nodes.begin());
        m_links = std::make_unique<HeldRefs>();
        m_links->Add(m_node->GetParentNode());
        MoveChildrenUp(ip);
        m_node->NotifyDependents(FOREVER, PART_ALL, REFMSG_TARGET_DELETED, NOTIFY_ALL, FALSE);
        DropDependents();
        m_parked = ip.ParkNode(m_node);
    }

    /// Puts the parked node back where it was.
    void PutBack() {
        if (!m_parked)
            return;
        Interface& ip = *GetCOREInterface();
        ip.UnparkNode(std::move(m_parked), m_index);
        auto* parent = static_cast<INode*>(m_links->Get(0));
        // The node kept its local transform while parked.
        (parent && ip.IsInScene(parent) ? parent : ip.GetRootNode())->AttachChild(m_node, FALSE);
        for (int slot = 1; slot <= m_childCount; ++slot) {
            auto* child = static_cast<INode*>(m_links->Get(slot));
            if (child && ip.IsInScene(child))
                m_node->AttachChild(child, TRUE);
        }
        for (const Link& link : m_dependents) {
            ReferenceTarget* maker = m_links->Get(link.slot);
            if (!maker || link.ref >= maker->NumRefs() || maker->GetReference(link.ref))
                continue;
            if (!maker->AcceptsReference(link.ref, m_node))
                continue;
            maker->ReplaceReference(link.ref, m_node, FALSE);
            maker->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
        }
        m_dependents.clear();
    }

    void Restore(int) override { Toggle(); }
    void Redo() override { Toggle(); }

private:
    struct Link {
        int slot; // the maker's slot in m_links
        int ref;  // its reference index that pointed at the node
    };

    void Toggle() {
        if (m_parked)
            PutBack();
        else
            TakeOut();
    }

    void MoveChildrenUp(Interface& ip) {
        INode* parent = m_node->GetParentNode() ? m_node->GetParentNode() : ip.GetRootNode();
        std::vector<INode*> children;
        for (int i = 0; i < m_node->NumberOfChildren(); ++i)
            children.push_back(m_node->GetChildNode(i));
        m_childCount = static_cast<int>(children.size());
        for (INode* child : children) {
            m_links->Add(child);
            parent->AttachChild(child, TRUE);
        }
    }

    // Restore records hold nodes through HeldRefs; they keep theirs (the parked node lives on).
    // Every other dependent loses its references and, when it can be held, is remembered.
    void DropDependents() {
        std::vector<ReferenceMaker*> makers = m_node->GetDependents();
        std::sort(makers.begin(), makers.end());
        makers.erase(std::unique(makers.begin(), makers.end()), makers.end());
        for (ReferenceMaker* maker : makers) {
            if (maker == m_links.get() || dynamic_cast<HeldRefs*>(maker))
                continue;
            if (maker->IsRefTarget()) {
                auto* target = static_cast<ReferenceTarget*>(maker);
                int slot = -1;
                for (int i = 0; i < maker->NumRefs(); ++i) {
                    if (maker->GetReference(i) != m_node)
                        continue;
                    if (slot < 0)
                        slot = m_links->Add(target);
                    m_dependents.push_back(Link{slot, i});
                }
            }
            maker->DropReferencesTo(m_node);
        }
    }

    INode* m_node;
    size_t m_index = 0;
    int m_childCount = 0;
    std::vector<Link> m_dependents;
    std::unique_ptr<HeldRefs> m_links; // 0 parent, 1..m_childCount children, then makers
    std::unique_ptr<INode> m_parked;   // the node while it is out of the scene
};

/// The selection before a change; Restore swaps it with the selection of that moment.
class SelectionRestore final : public RestoreObj {
public:
    explicit SelectionRestore(const std::vector<INode*>& selection) { Keep(selection); }

    void Restore(int) override { Swap(); }
    void Redo() override { Swap(); }

private:
    void Keep(const std::vector<INode*>& selection) {
        m_nodes = std::make_unique<HeldRefs>();
        for (INode* node : selection)
            m_nodes->Add(node);
    }

    void Swap() {
        Interface& ip = *GetCOREInterface();
        std::unique_ptr<HeldRefs> kept = std::move(m_nodes);
        Keep(ip.m_selection);
        ip.m_selection.clear();
        for (int i = 0; i < kept->Size(); ++i) {
            auto* node = static_cast<INode*>(kept->Get(i));
            if (node && ip.IsInScene(node) && !ip.IsNodeSelected(node))
                ip.m_selection.push_back(node);
        }
    }

    std::unique_ptr<HeldRefs> m_nodes;
};

std::unique_ptr<INode> Interface::ParkNode(INode* node) {
    auto it = std::find_if(m_nodes.begin(), m_nodes.end(),
                           [&](const auto& owned) { return owned.get() == node; });
    if (it == m_nodes.end())
        return nullptr;
    m_selection.erase(std::remove(m_selection.begin(), m_selection.end(), node), m_selection.end());
    if (m_pickCandidate == node)
        m_pickCandidate = nullptr;
    std::unique_ptr<INode> owned = std::move(*it);
    m_nodes.erase(it);
    owned->UnlinkParent();
    return owned;
}

void Interface::UnparkNode(std::unique_ptr<INode> node, size_t index) {
    index = std::min(index, m_nodes.size());
    m_nodes.insert(m_nodes.begin() + static_cast<std::ptrdiff_t>(index), std::move(node));
}

bool Interface::IsInScene(const INode* node) const {
    if (node == m_root.get())
        return true;
    return std::any_of(m_nodes.begin(), m_nodes.end(),
                       [&](const auto& owned) { return owned.get() == node; });
}

void Interface::HoldSelection() {
    if (m_hold.Holding())
        m_hold.Put(new SelectionRestore(m_selection));
}

void Interface::HoldNodeCreation(INode* node) {
    if (m_hold.Holding())
        m_hold.Put(new NodeLifeRestore(node));
}

void Interface::DeleteNodeUndoably(INode* node) {
    HoldSelection();
    auto record = std::make_unique<NodeLifeRestore>(node);
    record->TakeOut();
    m_hold.Put(record.release());
}
