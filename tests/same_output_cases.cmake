# Command lines on which the Linux and the Windows build must agree, run by
# same_output.cmake:
#   same_output_case(<name> [INPUTS <file in the source tree>...] ARGS <word>...)
# Inputs are copied into the run folder by their base name, so the command
# line names them without a folder. Every case must print something or leave
# a file on Linux.

same_output_case(usage ARGS)
same_output_case(unknown_option ARGS measure -max 100)
same_output_case(missing_option_argument ARGS measure -z)
same_output_case(range_out_of_bounds ARGS measure -z 170.0001)
same_output_case(steps_out_of_bounds ARGS cal data -n 1001)
same_output_case(unrecognized_command ARGS interactive)
same_output_case(missing_input ARGS load absent -psdplot -f out)
