#!/usr/bin/perl
# Reads a plugin's output on standard input and prints each performance data item as the
# monitoring plugins' own parser understands it, one per line, fields separated by tabs:
# label, value, unit, warning, critical, min, max. Exits 1 when there is no "|".
use strict;
use warnings;
use Monitoring::Plugin::Performance use_die => 1;

my $output = do { local $/; <STDIN> };
my ($status, $perfdata) = split /\|/, $output, 2;
exit 1 unless defined $perfdata;
$perfdata =~ s/\s+$//;
for my $p (Monitoring::Plugin::Performance->parse_perfstring($perfdata)) {
    my @fields = map { defined $_ ? $_ : '' }
        ($p->label, $p->value, $p->uom,
         $p->threshold->warning->is_set ? $p->threshold->warning : '',
         $p->threshold->critical->is_set ? $p->threshold->critical : '',
         $p->min, $p->max);
    print join("\t", @fields), "\n";
}
