# The character the add-on's test and the Blender picture draw: each chain
# of its skeleton, by the vertex group that names it, as the points from its
# root to its tip in Blender's frame (Z up), the first on a chain drawn
# before it: a spine with a neck, two arms from the chest, two legs from
# the hips.
CHAINS = [
    ("Spine", [(0, 0, 1), (0, 0, 1.25), (0, 0, 1.5)]),
    ("Neck", [(0, 0, 1.5), (0, 0, 1.65), (0, 0, 1.9)]),
    ("ArmL", [(0, 0, 1.5), (0.2, 0, 1.5), (0.45, 0, 1.45), (0.7, 0, 1.4)]),
    ("ArmR", [(0, 0, 1.5), (-0.2, 0, 1.5), (-0.45, 0, 1.45), (-0.7, 0, 1.4)]),
    ("LegL", [(0, 0, 1), (0.1, 0.02, 0.52), (0.1, 0, 0.06), (0.1, -0.15, 0)]),
    ("LegR", [(0, 0, 1), (-0.1, 0.02, 0.52), (-0.1, 0, 0.06), (-0.1, -0.15, 0)]),
]
