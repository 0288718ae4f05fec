# The manual page as man(7) has it, from what help2man makes of --help: the exit statuses in a
# section of their own, and each example's command on one line, never broken between arguments.
s/^\.SS "Exit status:"$/.SH "EXIT STATUS"/
/^\.SH EXAMPLES$/,$ {
    /^dla\\-cli/ {
        s/^/.nf\n/
        s/$/\n.fi/
    }
}
