#pragma once
// The application's side of the host: where the plug-in modules are, loading every module,
// reading a scene (a JSON description or a saved scene file), describing it, and a hash of
// every recorded body state.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

class Interface;
class INode;
class IQXBodyPlayback;
class Modifier;
class Object;

namespace Quarix::App {

/// The plug-in folder: $QUARIX_PLUGINS when set, else the folder of the running executable when
/// it holds modules, else plugins/ beside that folder (the build tree's layout).
std::string PluginFolder();

/// Loads every module of `folder` once per process (later calls for the same folder do nothing).
/// Returns the number of modules loaded by this call; refused modules are described in `errors`.
int LoadPlugins(Interface& ip, const std::string& folder, std::vector<std::string>& errors);

/// True when `path` names a JSON scene description (by its extension, ".json").
bool IsJsonScene(const std::string& path);

/// Replaces the host's scene with the file at `path`: a JSON description or a saved scene.
/// Throws InputError naming the file and the place of the problem.
void LoadSceneAny(Interface& ip, const std::string& path);

/// The first node whose object is of the class with internal name `className`, or null.
INode* FindNodeOfClass(Interface& ip, const char* className);

/// The modifiers of a node's stack, top first, through nested derived objects; `base` gets
/// the object under them (null when the node has none).
std::vector<Modifier*> StackOf(INode& node, Object*& base);

/// The body playback of the topmost modifier of a node's stack that offers one, or null.
IQXBodyPlayback* FindBodyPlayback(INode& node);

/// What baking a scene did.
struct BakeSummary {
    /// Simulated objects baked.
    int objects = 0;
    /// Nodes the bakes made.
    int nodes = 0;
    /// Stored records too damaged to bake, over all objects.
    int skippedRecords = 0;
    /// Baked objects whose node was kept (their settings keep the source after a bake).
    std::vector<INode*> keptSources;
};

/// Bakes every simulated object (a node with recorded bodies and a bake) into animated nodes,
/// with each object's own bake settings.
BakeSummary BakeSimulatedObjects(Interface& ip);

/// Bodies alive at `frame` over every simulated object of the scene.
int CountBodiesAlive(Interface& ip, int frame);

/// Writes nodes, classes, modifiers, parameters by internal name (values at time 0), and per
/// simulated object its recorded frames and bodies.
void DescribeScene(Interface& ip, std::ostream& out);

/// Recorded bodies of the whole scene.
struct RecordSummary {
    int simulatedObjects = 0;
    int bodies = 0;
    /// Bodies alive at the last recorded frame (the first frame when none was recorded).
    int bodiesAliveAtEnd = 0;
    int recordedFrames = 0;
    /// FNV-1a (64-bit) over every body's alive flag and world transform at every recorded frame
    /// (at its first frame for an object that recorded none: a relaxed start), objects in node
    /// order: equal results give equal hashes, bit for bit.
    std::uint64_t hash = 0xcbf29ce484222325ull;
};

/// Walks every simulated object's recorded bodies.
RecordSummary SummarizeRecords(Interface& ip);

} // namespace Quarix::App
