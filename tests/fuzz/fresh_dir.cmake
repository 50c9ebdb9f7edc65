# Empties the directory DIR, so that a short fuzzing run starts from the seed
# corpus alone each time.
file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR})
