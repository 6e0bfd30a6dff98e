# Spindle's goals wired for IK in Godot 3: the post-import script of a glTF
# file from `spindle --gltf` (Import dock, Nodes > Custom Script, then
# Reimport).  For each goal node it gives the skeleton a SkeletonIK from the
# goal's chain root to the bone the goal is for, aimed at the goal.  Call
# start() on each SkeletonIK (or start(true) for one pass) to run it.
#
# Godot 3's glTF importer keeps no `extras`, so the script reads them from
# the source file itself: each goal node's `goalFor` (the bone) and
# `chainRoot` (that chain's first bone; without it, the bone's farthest
# ancestor).  The importer renames bones ("ArmL_GoalBone" becomes
# "arm_l_goal_bone"): a name is matched exactly, else by its letters and
# digits alone when that picks out one bone.
tool
extends EditorScenePostImport

const GLB_MAGIC = 0x46546C67 # "glTF"
const JSON_CHUNK = 0x4E4F534A # "JSON"


func post_import(scene):
	for node in _gltf_nodes(get_source_file()):
		var extras = node.get("extras") if typeof(node) == TYPE_DICTIONARY else null
		if typeof(extras) == TYPE_DICTIONARY and typeof(extras.get("goalFor")) == TYPE_STRING:
			_wire(scene, str(node.get("name", "")), extras)
	return scene


# The "nodes" of a .glb or .gltf file, or [] when it cannot be read.
func _gltf_nodes(path):
	var file = File.new()
	if file.open(path, File.READ) != OK:
		push_warning("spindle_ik_import: cannot read %s" % path)
		return []
	var text = ""
	if file.get_32() == GLB_MAGIC:
		file.get_32() # version
		file.get_32() # total length
		var size = file.get_32()
		if file.get_32() == JSON_CHUNK:
			text = file.get_buffer(size).get_string_from_utf8()
	else:
		file.seek(0)
		text = file.get_as_text()
	file.close()
	var parsed = JSON.parse(text)
	if parsed.error != OK or typeof(parsed.result) != TYPE_DICTIONARY:
		push_warning("spindle_ik_import: %s holds no glTF JSON" % path)
		return []
	var nodes = parsed.result.get("nodes", [])
	return nodes if typeof(nodes) == TYPE_ARRAY else []


# One SkeletonIK under the skeleton that holds the goal's bone.
func _wire(scene, goal_name, extras):
	var goal = _goal_node(scene, goal_name)
	for skeleton in _skeletons(scene, []):
		var tip = _bone(skeleton, extras["goalFor"])
		if tip < 0:
			continue
		var root = _bone(skeleton, extras["chainRoot"]) if typeof(extras.get("chainRoot")) == TYPE_STRING else -1
		if root < 0 or not _is_above(skeleton, root, tip):
			root = tip
			while skeleton.get_bone_parent(root) >= 0:
				root = skeleton.get_bone_parent(root)
		if goal == null or root == tip:
			push_warning("spindle_ik_import: no goal %s or no chain above %s" % [goal_name, extras["goalFor"]])
			return
		var ik = SkeletonIK.new()
		ik.name = goal.name + "_IK"
		ik.root_bone = skeleton.get_bone_name(root)
		ik.tip_bone = skeleton.get_bone_name(tip)
		ik.override_tip_basis = false # the goal moves the bone's head; the bone keeps its turn
		ik.min_distance = 0.0001 # a tenth of a millimetre, not the default centimetre
		ik.max_iterations = 50
		skeleton.add_child(ik)
		ik.owner = scene
		ik.target_node = ik.get_path_to(goal)
		return
	push_warning("spindle_ik_import: no bone %s for the goal %s" % [extras["goalFor"], goal_name])


# The bone of that glTF name: the same name, else the one bone whose name
# has the same letters and digits; -1 when there is none.
func _bone(skeleton, name):
	var found = skeleton.find_bone(name)
	if found >= 0:
		return found
	for i in skeleton.get_bone_count():
		if _key(skeleton.get_bone_name(i)) == _key(name):
			if found >= 0:
				return -1
			found = i
	return found


func _is_above(skeleton, upper, bone):
	while bone >= 0 and bone != upper:
		bone = skeleton.get_bone_parent(bone)
	return bone == upper


func _key(name):
	var key = ""
	for c in name.to_lower():
		if (c >= "a" and c <= "z") or (c >= "0" and c <= "9"):
			key += c
	return key


func _skeletons(node, found):
	if node is Skeleton:
		found.append(node)
	for child in node.get_children():
		_skeletons(child, found)
	return found


# The goal's node: the one of that name, else the one non-bone node with the
# same letters and digits.
func _goal_node(node, name):
	var matches = []
	_nodes_like(node, name, matches)
	for candidate in matches:
		if candidate.name == name:
			return candidate
	return matches[0] if matches.size() == 1 else null


func _nodes_like(node, name, matches):
	if node is Spatial and not (node is Skeleton) and _key(node.name) == _key(name):
		matches.append(node)
	for child in node.get_children():
		_nodes_like(child, name, matches)
