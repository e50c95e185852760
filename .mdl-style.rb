# The Markdown check (scripts/check-markdown, part of `make format-check`): every rule of
# mdl, Debian's ruby-mdl, except those that fight how our documents are written.
all

# Our prose is wrapped near 90 columns by hand, but tables, command lines and program
# output run as long as they need: GitHub renders them whole, and a broken command line
# could not be pasted.
exclude_rule 'MD013'

# Placeholders such as `<settings>` live in code spans; mdl reads lines one at a time, so
# a code span that runs over a line break looks like inline HTML to it.
exclude_rule 'MD033'

# mdl looks for bare URLs in the raw lines, inside fenced blocks too, where a URL is part
# of a command or its output and must stay as it is.
exclude_rule 'MD034'

# Program output and usage text are fenced without a language: they are in none.
exclude_rule 'MD040'

# Nested lists are indented by two spaces, under the first letter of the item above.
rule 'MD007', :indent => 2

# Code is always fenced: an indented block is then never a code block on purpose, but
# prose pushed to the right (by a formatter or a stray tab), which would otherwise render
# as code and cut its sentence in two.
rule 'MD046', :style => :fenced
