# The parser of printed CRL distribution points (CrlDistributionPoints.h),
# over real certificates of the test PKI.
vantor_add_test(NAME crl_distribution_points_test
  SOURCES mac/CrlDistributionPoints_test.cpp
  LIBS bootstrapper_core vantor_testpki)
