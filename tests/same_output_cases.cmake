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

# load and cal on the bundled example, and on the worked calibration example
# (tests/data/demo.msm, six records of which the first four are monotone).
same_output_case(load_example_plot INPUTS examples/sensor_10_80.msm
                 ARGS load sensor_10_80.msm -psdplot)
same_output_case(cal_example INPUTS examples/sensor_10_80.msm ARGS cal sensor_10_80)
same_output_case(cal_example_1000_steps INPUTS examples/sensor_10_80.msm
                 ARGS cal sensor_10_80 -n 1000)
same_output_case(cal_worked_example INPUTS tests/data/demo.msm ARGS cal demo -n 20)
# Failures: readings that fall throughout leave a monotone range of one
# record; two records are too few.
same_output_case(cal_range_too_small INPUTS tests/data/falling.msm ARGS cal falling)
same_output_case(cal_two_records INPUTS tests/data/two_records.msm ARGS cal two_records)
# Pictures: the example's calibration, a load, and a calibration that fails
# but still draws its curve.
same_output_case(cal_example_picture INPUTS examples/sensor_10_80.msm
                 ARGS cal sensor_10_80 -svg)
same_output_case(load_example_picture INPUTS examples/sensor_10_80.msm
                 ARGS load sensor_10_80 -psdplot -svg -c "Probe<&>")
same_output_case(cal_range_too_small_picture INPUTS tests/data/falling.msm
                 ARGS cal falling -svg)
# import: a semicolon table with decimal commas, a header, a comment, a
# byte-order mark and CR LF; the header values as they read back; a
# measurement file refused as a table.
same_output_case(import_table INPUTS tests/data/readings.csv
                 ARGS import readings.csv -z 1e-20 -m 7)
same_output_case(import_refused INPUTS tests/data/demo.msm ARGS import demo.msm -f table)
# import on a lab sheet as Excel writes it (sep=, a title, a units line in
# Latin-1, quotes, digit grouping, an empty row, a final Ctrl-Z), recorded from
# near to far with two readings at each position: columns by name, readings
# rounded and averaged; and the same sheet refused for a decimal point.
same_output_case(import_lab_sheet INPUTS tests/data/lab_sheet.csv
                 ARGS import lab_sheet.csv -cols "Position (mm),ADC" -round -mean)
same_output_case(import_lab_sheet_refused INPUTS tests/data/lab_sheet.csv
                 ARGS import lab_sheet.csv -cols 2,4 -decimal point)
# check: the example against its own table with a tolerance it misses, the
# summary's CSV and picture; the six-record run against a table edited by
# hand.
same_output_case(check_example INPUTS examples/sensor_10_80.msm
                 ARGS check sensor_10_80 -tol 3 -f report -svg)
same_output_case(check_edited_table INPUTS tests/data/demo.msm tests/data/edited.c
                 ARGS check demo -t edited -f report)
# The stage unit on the axes and in check's summary.
same_output_case(check_unit INPUTS examples/sensor_10_80.msm
                 ARGS check sensor_10_80 -unit mm -tol 3 -f report -svg)
