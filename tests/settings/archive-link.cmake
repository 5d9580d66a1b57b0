# Run by the test command before the Windows settings tests under Wine: a
# symbolic link "Mivora" in `dir` to the archive program's unpack folder
# beside it. Wine makes no junctions; it follows such a link as Windows
# follows a junction.
file(MAKE_DIRECTORY "${dir}")
file(REMOVE "${dir}/Mivora")
file(CREATE_LINK "Rar$EXa2816.41203" "${dir}/Mivora" SYMBOLIC)
