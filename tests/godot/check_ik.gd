# Prints each SkeletonIK of the imported res://body.glb, one line each: its
# name, root bone, tip bone and the name of the node it aims at.  Then runs
# the right arm's once with its goal moved, and prints how far the bone's
# head is from the goal.
extends SceneTree

var scene
var frames = 0


func _idle(_delta):
	frames += 1
	if frames == 1:
		scene = load("res://body.glb").instance()
		get_root().add_child(scene)
	elif frames == 3:
		_print_iks(scene)
		_reach(scene.find_node("ArmR_Goal_IK", true, false))
		quit()
	return false


func _print_iks(node):
	if node is SkeletonIK:
		var target = node.get_node_or_null(node.target_node)
		print("IK %s %s %s %s" % [node.name, node.root_bone, node.tip_bone, target.name if target else "-"])
	for child in node.get_children():
		_print_iks(child)


func _reach(ik):
	var goal = ik.get_node(ik.target_node)
	var skeleton = ik.get_parent()
	# 0.1 down and 0.2 in towards the shoulder: the arm bends.
	var shoulder = skeleton.global_transform * skeleton.get_bone_global_pose(skeleton.find_bone(ik.root_bone))
	var inwards = (shoulder.origin - goal.global_transform.origin).normalized()
	goal.global_transform.origin += inwards * 0.2 + Vector3(0, -0.1, 0)
	ik.start(true)
	var head = skeleton.global_transform * skeleton.get_bone_global_pose(skeleton.find_bone(ik.tip_bone))
	print("REACH %f" % head.origin.distance_to(goal.global_transform.origin))
