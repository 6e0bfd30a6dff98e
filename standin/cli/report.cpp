// The summary, the tree and the bone table of a scene read back.
#include "standin/cli/report.h"

#include <cstdio>

#include "standin/text/escape.h"

namespace standin {

namespace {

bool isGoalBone(const SceneItem &bone) { return bone.goal >= 0 && bone.strength == 0.0; }

// The number of each bone among the scene's bones, from 1; 0 for others.
std::vector<int> boneNumbers(const Scene &scene) {
    std::vector<int> numbers(scene.items.size(), 0);
    int next = 0;
    for (size_t i = 0; i < scene.items.size(); ++i)
        if (scene.items[i].kind == ItemKind::Bone)
            numbers[i] = ++next;
    return numbers;
}

std::string counted(int count, const char *one, const char *many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

bool inTree(const SceneItem &item) { return isObject(item) || item.kind == ItemKind::Bone; }

} // namespace

SceneCounts countScene(const Scene &scene) {
    SceneCounts counts;
    const int first = firstObject(scene);
    for (size_t i = 0; i < scene.items.size(); ++i) {
        const SceneItem &item = scene.items[i];
        if (item.kind == ItemKind::Bone) {
            if (isGoalBone(item)) {
                ++counts.goalBones;
            } else {
                ++counts.chainBones;
                if (first >= 0 && item.parent == first)
                    ++counts.chains;
            }
        } else if (item.kind == ItemKind::NullObject && static_cast<int>(i) > first) {
            ++counts.goalObjects;
        }
    }
    return counts;
}

std::string summaryLine(const std::string &scenePath, const SceneCounts &counts) {
    return escapeControls(scenePath) + ": " + counted(counts.chainBones, "chain bone", "chain bones") + " in " +
        counted(counts.chains, "chain", "chains") + ", " + counted(counts.goalBones, "goal bone", "goal bones") + ", " +
        counted(counts.goalObjects, "goal object", "goal objects");
}

std::string treeText(const Scene &scene) {
    const size_t n = scene.items.size();
    const std::vector<int> numbers = boneNumbers(scene);
    std::vector<std::vector<size_t>> children(n);
    std::vector<size_t> roots;
    for (size_t i = 0; i < n; ++i) {
        if (!inTree(scene.items[i]))
            continue;
        const int parent = scene.items[i].parent;
        if (parent >= 0 && static_cast<size_t>(parent) < n && parent != static_cast<int>(i) &&
            inTree(scene.items[static_cast<size_t>(parent)]))
            children[static_cast<size_t>(parent)].push_back(i);
        else
            roots.push_back(i);
    }
    std::string text;
    std::vector<char> shown(n, 0);
    // Depth first without recursion: deep chains are thousands of bones.
    auto showFrom = [&](size_t root) {
        std::vector<std::pair<size_t, size_t>> stack{{root, 0}};
        while (!stack.empty()) {
            const auto [item, depth] = stack.back();
            stack.pop_back();
            if (shown[item])
                continue;
            shown[item] = 1;
            const SceneItem &it = scene.items[item];
            std::string line(2 * depth, ' ');
            if (it.kind == ItemKind::Bone) {
                line += std::to_string(numbers[item]) + " " + escapeControls(it.name);
                if (it.goal >= 0 && static_cast<size_t>(it.goal) < n)
                    line += " -> " + escapeControls(scene.items[static_cast<size_t>(it.goal)].name);
            } else {
                line += escapeControls(it.name);
            }
            text += line + "\n";
            for (auto child = children[item].rbegin(); child != children[item].rend(); ++child)
                stack.push_back({*child, depth + 1});
        }
    };
    for (size_t root : roots)
        showFrom(root);
    // Items on a loop of parents reach no root: each such loop is shown from
    // its first item in file order.
    for (size_t i = 0; i < n; ++i)
        if (inTree(scene.items[i]) && !shown[i])
            showFrom(i);
    return text;
}

std::string bonesText(const Scene &scene, const RigPlacement &placement) {
    const std::vector<int> numbers = boneNumbers(scene);
    std::string text;
    for (size_t i = 0; i < scene.items.size(); ++i) {
        const SceneItem &bone = scene.items[i];
        if (bone.kind != ItemKind::Bone)
            continue;
        std::string parent;
        const int owner = bone.parent >= 0 ? bone.parent : bone.object;
        if (owner >= 0 && static_cast<size_t>(owner) < scene.items.size()) {
            const SceneItem &item = scene.items[static_cast<size_t>(owner)];
            parent = item.kind == ItemKind::Bone ? std::to_string(numbers[static_cast<size_t>(owner)])
                                                 : escapeControls(item.name);
        }
        text += std::to_string(numbers[i]) + "\t" + escapeControls(bone.name) + "\t" + parent;
        for (const Vec3 *point : {&placement.base.at(i), &placement.tip.at(i)})
            for (double value : *point) {
                char number[400]; // room for any double in "%.6f"
                std::snprintf(number, sizeof number, "\t%.6f", value);
                text += number;
            }
        text += "\n";
    }
    return text;
}

} // namespace standin
